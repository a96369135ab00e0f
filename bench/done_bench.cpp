// "Done" for a test of 99 and of 10,000 problems, both files written to a
// temporary folder, next to two floors timed in the same iteration: the same
// bytes written with a plain QFile, and written durably as one journaled
// change with nothing but the system calls such a change needs.
#include "bench/BenchTest.h"
#include "framework/Files.h"
#include "framework/Globals.h"
#include "framework/Instances.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The floor: each file's bytes written whole with a plain QFile, in place of
// the file a run before wrote, as "Done" replaces its files. The median of
// five, since the disk's time for one varies widely.
double WriteWithQFile(const QDir& folder, const QByteArray (&files)[2]) {
    const QString names[] = {QStringLiteral("floor.html"), QStringLiteral("floor.js")};
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        for (int i = 0; i < 2; ++i) {
            QFile file(folder.filePath(names[i]));
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(files[i]) != files[i].size())
                return -1;
            file.close();
        }
        times.push_back(Seconds(start, Clock::now()));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool WriteAll(int fd, const char* at, qsizetype left) {
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        at += written;
        left -= written;
    }
    return true;
}

// One journaled replacement of both files, with its six flushes and no more:
// a record written and flushed, and its folder entry; each file written to a
// hidden name, flushed and renamed over its target; the folder once both are
// in place; the record removed and the folder flushed once more. No lock, no
// checks of the targets, no random names, no kept old files, no permissions,
// and no note in the record that both files are in place ("Done"'s seventh
// flush).
bool WriteJournaled(const QByteArray& folder, const QByteArray (&files)[2]) {
    const QByteArray targets[] = {folder + "/journal.html", folder + "/journal.js"};
    const QByteArray temporaries[] = {folder + "/.journal.html.new", folder + "/.journal.js.new"};
    const QByteArray record = folder + "/.floor-record";
    // About the size of the program's record for the same pair.
    QByteArray said = "floor record\n";
    for (int i = 0; i < 2; ++i) said += "file " + targets[i] + ' ' + targets[i] + ' ' + temporaries[i] + '\n';
    said += "begun\n";

    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    bool ok = false;
    const int fd = ::open(record.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ok = WriteAll(fd, said.constData(), said.size()) && ::fdatasync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
    }
    ok = ok && ::fsync(dir) == 0;
    for (int i = 0; ok && i < 2; ++i) {
        const int file = ::open(temporaries[i].constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (file < 0) {
            ok = false;
            break;
        }
        ok = WriteAll(file, files[i].constData(), files[i].size()) && ::fsync(file) == 0;
        ok = ::close(file) == 0 && ok;
        ok = ok && std::rename(temporaries[i].constData(), targets[i].constData()) == 0;
    }
    ok = ok && ::fsync(dir) == 0;
    ok = ok && ::unlink(record.constData()) == 0 && ::fsync(dir) == 0;
    ::close(dir);
    return ok;
}

// The median of five journaled replacements, as for the plain floor.
double WriteJournaledMedian(const QDir& folder, const QByteArray (&files)[2]) {
    const QByteArray path = QFile::encodeName(folder.path());
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        if (!WriteJournaled(path, files)) return -1;
        times.push_back(Seconds(start, Clock::now()));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Time of one "Done" after `state.range(0)` problems were submitted into a
// fresh window; the delivery mode is mailto: (range 1 = 1) or CGI. Counters:
// each floor's time and how many times that floor "Done" took (floor_ms and
// x_floor for the plain write, journal_ms and x_journal for the journaled one).
void BM_Done(benchmark::State& state) {
    const int problems = static_cast<int>(state.range(0));
    const bool mailto = state.range(1) == 1;
    QTemporaryDir folder;
    const QDir dir(folder.path());
    fw::SetApplicationFolder(folder.path());
    bool refused = false;
    int quits = 0;
    fw::SetMsgBoxHandler([&refused](const QString&) { refused = true; });
    fw::SetQuitHandler([&quits](int) { ++quits; });
    double doneTotal = 0;
    double floorTotal = 0;
    double journalTotal = 0;
    // Each iteration's pair, for medians that a disk's rare slow flush does not sway.
    std::vector<double> doneTimes;
    std::vector<double> journalTimes;
    for (auto _ : state) {
        class mainWindow* test = NewTest(state, mailto);
        if (!test) break;
        class mainWindow& w = *test;
        SubmitProblems(w, problems, QStringLiteral("-10"), QStringLiteral("1.5"));
        const int quitsBefore = quits;
        const auto start = Clock::now();
        w.PushButton1().Push();
        const double done = Seconds(start, Clock::now());
        state.SetIterationTime(done);
        doneTotal += done;
        doneTimes.push_back(done);
        if (refused || quits != quitsBefore + 1) state.SkipWithError("Done did not finish");
        fw::DestroyAllInstances();

        const QByteArray written[] = {ReadFile(dir.filePath(QStringLiteral("Kinematics.html"))),
                                      ReadFile(dir.filePath(QStringLiteral("Kinematics.js")))};
        const double floor = WriteWithQFile(dir, written);
        if (floor < 0) state.SkipWithError("the floor's files could not be written");
        floorTotal += floor;
        const double journal = WriteJournaledMedian(dir, written);
        if (journal < 0) state.SkipWithError("the journaled floor's files could not be written");
        journalTotal += journal;
        journalTimes.push_back(journal);
        state.counters["page_MB"] = double(written[0].size()) / (1 << 20);
    }
    state.counters["floor_ms"] = floorTotal * 1e3 / double(state.iterations());
    state.counters["x_floor"] = floorTotal > 0 ? doneTotal / floorTotal : 0;
    state.counters["journal_ms"] = journalTotal * 1e3 / double(state.iterations());
    state.counters["x_journal"] = journalTotal > 0 ? doneTotal / journalTotal : 0;
    const auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times.empty() ? 0.0 : times[times.size() / 2];
    };
    const double journalMedian = median(journalTimes);
    state.counters["done_median_ms"] = median(doneTimes) * 1e3;
    state.counters["x_journal_median"] = journalMedian > 0 ? median(doneTimes) / journalMedian : 0;
    fw::SetMsgBoxHandler(nullptr);
    fw::SetQuitHandler(nullptr);
    fw::SetApplicationFolder(QString());
}

}  // namespace

BENCHMARK(BM_Done)
    ->ArgNames({"problems", "mailto"})
    ->Args({99, 1})
    ->Args({99, 0})
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Done)
    ->ArgNames({"problems", "mailto"})
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
