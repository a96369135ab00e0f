// One "Submit Problem" at the 1st, 50th and 99th problem of a test: the
// fragments grow with every problem, a Submit must not.
#include "app/Startup.h"
#include "bench/BenchProblem.h"
#include "builder/mainWindow.h"
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
        NewAppInstance();
        class mainWindow& w = mainWindow();
        w.EditField5().SetText(QStringLiteral("Kinematics"));
        SelectRow(w.errorbox(), QStringLiteral("2"));
        SelectRow(w.decBox(), QStringLiteral("1"));
        for (int n = 1; n < number; ++n) {
            EnterProblem(w, QStringLiteral("10"), QStringLiteral("1,5"));
            w.nextButton1().Push();
        }
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

BENCHMARK(BM_SubmitProblem)->Arg(1)->Arg(50)->Arg(99)->UseManualTime()->Iterations(100)->Unit(benchmark::kMicrosecond);
