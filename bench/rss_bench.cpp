// Peak memory of a 10,000-problem test from the start through "Done". The
// test runs in a process of its own, this program started afresh (fork, then
// exec), so that the figure is that test's alone: the benchmarks run before
// it leave their heap behind in this process.
#include "bench/BenchTest.h"
#include "framework/Files.h"
#include "framework/Globals.h"
#include "framework/Instances.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Set in the measuring process: the pipe it reports to.
constexpr char kReportTo[] = "QUILLORY_PEAK_MEMORY_FD";

struct TestResult {
    double seconds = 0;
    long startKb = 0;  // resident once the application object is made
    long peakKb = 0;   // resident at the most, from the process's start through "Done"
    bool finished = false;
};

// A "VmRSS:"-style line of /proc/self/status, in kB.
long StatusKb(const QByteArray& key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

TestResult RunTest(benchmark::State& state, bool mailto, int problems) {
    TestResult result;
    result.startKb = StatusKb("VmRSS:");
    QTemporaryDir folder;
    fw::SetApplicationFolder(folder.path());
    int quits = 0;
    fw::SetMsgBoxHandler([](const QString&) {});
    fw::SetQuitHandler([&quits](int) { ++quits; });
    const auto start = std::chrono::steady_clock::now();
    class mainWindow* w = NewTest(state, mailto);
    if (!w) return result;
    SubmitProblems(*w, problems, QStringLiteral("-10"), QStringLiteral("1.5"));
    w->PushButton1().Push();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakKb = StatusKb("VmHWM:");
    result.finished = quits == 1;
    fw::DestroyAllInstances();
    fw::SetMsgBoxHandler(nullptr);
    fw::SetQuitHandler(nullptr);
    fw::SetApplicationFolder(QString());
    return result;
}

// Starts this program again, running this benchmark alone, and reads what its
// test reports; false when it reports nothing.
bool MeasureInNewProcess(int problems, bool mailto, TestResult* result) {
    int ends[2];
    if (::pipe(ends) != 0) return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        ::setenv(kReportTo, std::to_string(ends[1]).c_str(), 1);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
        const std::string filter = "--benchmark_filter=^BM_PeakMemory/problems:" + std::to_string(problems) +
                                   "/mailto:" + std::to_string(mailto ? 1 : 0) + "/";
        ::execl("/proc/self/exe", "quillory_bench", filter.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    const ssize_t got = child > 0 ? ::read(ends[0], result, sizeof *result) : -1;
    ::close(ends[0]);
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);
    return got == ssize_t(sizeof *result) && result->finished;
}

// Counters: the peak and the resident size at the start, in MB.
void BM_PeakMemory(benchmark::State& state) {
    const int problems = static_cast<int>(state.range(0));
    const bool mailto = state.range(1) == 1;
    if (const char* reportTo = std::getenv(kReportTo)) {  // the measuring process
        for (auto _ : state) {
            const TestResult result = RunTest(state, mailto, problems);
            if (::write(std::atoi(reportTo), &result, sizeof result) != ssize_t(sizeof result))
                state.SkipWithError("the result could not be reported");
            state.SetIterationTime(result.seconds);
        }
        return;
    }
    for (auto _ : state) {
        TestResult result;
        if (!MeasureInNewProcess(problems, mailto, &result)) {
            state.SkipWithError("the test did not finish in its own process");
            break;
        }
        state.SetIterationTime(result.seconds);
        state.counters["peak_MB"] = double(result.peakKb) / 1024;
        state.counters["start_MB"] = double(result.startKb) / 1024;
    }
}

}  // namespace

BENCHMARK(BM_PeakMemory)
    ->ArgNames({"problems", "mailto"})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
