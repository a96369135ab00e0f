// The problem that the benchmarks submit again and again, typed into the
// main window as a teacher would.
#pragma once

#include "builder/mainWindow.h"
#include "support/Entry.h"

#include <benchmark/benchmark.h>
#include <stdexcept>

inline void EnterProblem(class mainWindow& w, const QString& minX, const QString& minY) {
    w.probField().SetText(QStringLiteral("A car covers [x] km in [y] h. What is its speed in km/h?"));
    w.solField().SetText(QStringLiteral("[x]/[y]"));
    w.var1min().SetText(minX);
    w.var1max().SetText(QStringLiteral("100"));
    w.var1dec().SetText(QStringLiteral("0"));
    w.var2min().SetText(minY);
    w.var2max().SetText(QStringLiteral("4"));
    w.var2dec().SetText(QStringLiteral("1"));
}

// Chooses the margin and the decimals as the teacher does. A list without the
// row marks the benchmark as an error and gives false: the caller leaves its
// loop, since what follows would not time the problem meant.
inline bool SelectRows(benchmark::State& state, class mainWindow& w, const QString& margin, const QString& decimals) {
    try {
        selectRow(w.errorbox(), margin);
        selectRow(w.decBox(), decimals);
        return true;
    } catch (const std::runtime_error& e) {
        state.SkipWithError(e.what());
        return false;
    }
}
