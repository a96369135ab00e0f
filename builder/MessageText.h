// How a message quotes what the teacher typed.
#pragma once

#include <QString>

// The typed text as a message shows it: whole when it is short, else its
// first 40 characters and "...", so that a pasted megabyte neither floods the
// message nor keeps the window busy laying it out.
QString QuotedInput(const QString& typed);
