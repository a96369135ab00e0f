// The problem that the benchmarks submit again and again, typed into the
// main window as a teacher would.
#pragma once

#include "builder/mainWindow.h"

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

inline void SelectRow(fw::Listbox& list, const QString& text) {
    for (int row = 0; row < list.ListCount(); ++row)
        if (list.List(row) == text) list.SetListIndex(row);
}
