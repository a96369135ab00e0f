// Typing and choosing in the main window's controls as a teacher does. Header
// only and free of GoogleTest, so that the test programs, the browser scenario
// builder and the benchmarks share it; each reports the exception of a missing
// row in its own way (a failed test, a failed scenario, a benchmark error).
#pragma once

#include "framework/Controls.h"

#include <QString>
#include <stdexcept>

// Replaces the control's whole text.
inline void typeInto(fw::TextControl& control, const QString& text) { control.SetText(text); }

// Selects the row whose text is rowText. A list without that row is a mistake
// of the caller: std::runtime_error, naming the list and the row.
inline void selectRow(fw::Listbox& list, const QString& rowText) {
    for (int row = 0; row < list.ListCount(); ++row) {
        if (list.List(row) == rowText) {
            list.SetListIndex(row);
            return;
        }
    }
    throw std::runtime_error(("list " + list.Name() + " has no row \"" + rowText + "\"").toStdString());
}
