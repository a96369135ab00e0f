// "Done" for a test of 99 and of 10,000 problems, both files written to a
// temporary folder, next to the floor: the same bytes written with a plain
// QFile, timed in the same iteration.
#include "bench/BenchTest.h"
#include "framework/Files.h"
#include "framework/Globals.h"
#include "framework/Instances.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
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

// Time of one "Done" after `state.range(0)` problems were submitted into a
// fresh window; the delivery mode is mailto: (range 1 = 1) or CGI. Counters:
// the floor's time and how many times the floor "Done" took.
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
        if (refused || quits != quitsBefore + 1) state.SkipWithError("Done did not finish");
        fw::DestroyAllInstances();

        const QByteArray written[] = {ReadFile(dir.filePath(QStringLiteral("Kinematics.html"))),
                                      ReadFile(dir.filePath(QStringLiteral("Kinematics.js")))};
        const double floor = WriteWithQFile(dir, written);
        if (floor < 0) state.SkipWithError("the floor's files could not be written");
        floorTotal += floor;
        state.counters["page_MB"] = double(written[0].size()) / (1 << 20);
    }
    state.counters["floor_ms"] = floorTotal * 1e3 / double(state.iterations());
    state.counters["x_floor"] = floorTotal > 0 ? doneTotal / floorTotal : 0;
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
