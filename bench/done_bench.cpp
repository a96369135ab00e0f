// "Done" for a test of 99 problems, both files written to a temporary folder:
// it must stay well under one frame (16 ms).
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

// Time of one "Done" after `state.range(0)` problems were submitted into a
// fresh window; the delivery mode is mailto: (range 1 = 1) or CGI.
void BM_Done(benchmark::State& state) {
    const int problems = static_cast<int>(state.range(0));
    const bool mailto = state.range(1) == 1;
    QTemporaryDir folder;
    fw::SetApplicationFolder(folder.path());
    bool refused = false;
    int quits = 0;
    fw::SetMsgBoxHandler([&refused](const QString&) { refused = true; });
    fw::SetQuitHandler([&quits](int) { ++quits; });
    for (auto _ : state) {
        NewAppInstance();
        class mainWindow& w = mainWindow();
        w.EditField5().SetText(QStringLiteral("Kinematics"));
        w.RadioButton1().SetValue(mailto);
        w.RadioButton2().SetValue(!mailto);
        SelectRow(w.errorbox(), QStringLiteral("2"));
        SelectRow(w.decBox(), QStringLiteral("1"));
        for (int n = 1; n <= problems; ++n) {
            EnterProblem(w, QStringLiteral("-10"), QStringLiteral("1.5"));
            w.nextButton1().Push();
        }
        const int quitsBefore = quits;
        const auto start = std::chrono::steady_clock::now();
        w.PushButton1().Push();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (refused || quits != quitsBefore + 1) state.SkipWithError("Done did not finish");
        fw::DestroyAllInstances();
    }
    fw::SetMsgBoxHandler(nullptr);
    fw::SetQuitHandler(nullptr);
    fw::SetApplicationFolder(QString());
}

}  // namespace

BENCHMARK(BM_Done)
    ->Args({99, 1})
    ->Args({99, 0})
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);
