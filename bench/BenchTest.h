// A test built through the main window as a teacher builds it, for the
// benchmarks that need many problems before the step they time.
#pragma once

#include "app/Startup.h"
#include "bench/BenchProblem.h"
#include "builder/mainWindow.h"
#include "framework/Instances.h"

// A fresh application and main window with the title, the delivery mode and
// the answer's margin and decimals chosen; nothing, with the benchmark marked
// as an error, when a list lacks the row.
inline class mainWindow* NewTest(benchmark::State& state, bool mailto) {
    NewAppInstance();
    class mainWindow& w = mainWindow();
    w.EditField5().SetText(QStringLiteral("Kinematics"));
    w.RadioButton1().SetValue(mailto);
    w.RadioButton2().SetValue(!mailto);
    if (!SelectRows(state, w, QStringLiteral("2"), QStringLiteral("1"))) {
        fw::DestroyAllInstances();
        return nullptr;
    }
    return &w;
}

// Enters the benchmarks' problem `count` times, each submitted.
inline void SubmitProblems(class mainWindow& w, int count, const QString& minX, const QString& minY) {
    for (int n = 0; n < count; ++n) {
        EnterProblem(w, minX, minY);
        w.nextButton1().Push();
    }
}
