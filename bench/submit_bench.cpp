// One "Submit Problem" at the 1st, 50th, 99th, 1,000th and 10,000th problem
// of a test: the fragments grow with every problem, a Submit must not.
#include "bench/BenchTest.h"
#include "framework/Files.h"
#include "framework/Globals.h"
#include "framework/Instances.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

// Time of the Submit of problem `state.range(0)`, after problems 1 to n-1 have
// been submitted into the same, fresh window.
void BM_SubmitProblem(benchmark::State& state) {
    const int number = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    fw::SetApplicationFolder(folder.path());
    fw::SetMsgBoxHandler([](const QString&) {});
    for (auto _ : state) {
        class mainWindow* test = NewTest(state, false);
        if (!test) break;
        class mainWindow& w = *test;
        SubmitProblems(w, number - 1, QStringLiteral("10"), QStringLiteral("1,5"));
        EnterProblem(w, QStringLiteral("10"), QStringLiteral("1,5"));
        const auto start = std::chrono::steady_clock::now();
        w.nextButton1().Push();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (w.numField6().Text() != QString::number(number + 1)) state.SkipWithError("Submit was refused");
        fw::DestroyAllInstances();
    }
    fw::SetMsgBoxHandler(nullptr);
    fw::SetApplicationFolder(QString());
}

}  // namespace

// Fewer runs for the larger tests, each of which is built anew.
BENCHMARK(BM_SubmitProblem)->Arg(1)->Arg(50)->Arg(99)->UseManualTime()->Iterations(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubmitProblem)->Arg(1000)->UseManualTime()->Iterations(20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubmitProblem)->Arg(10000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond);
