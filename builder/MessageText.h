// How a message quotes what the teacher typed, and the files a failed or
// interrupted "Done" could not tidy away.
#pragma once

#include "framework/files/FileCommit.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The typed text as a message shows it: whole when it is short, else its
// first 40 characters and "...", so that a pasted megabyte neither floods the
// message nor keeps the window busy laying it out.
QString QuotedInput(const QString& typed);

// A test's file name as a message shows it: the title part shortened as
// QuotedInput shortens it, the extension whole.
QString QuotedFileName(const QString& name);

// A test's file in `folder` as a message shows it: the folder whole, the
// file's name as QuotedFileName shows it.
QString QuotedFileIn(const QByteArray& folder, const QString& name);

// Each file left behind in `folder`, which target's it is, under which name
// and, where a step failed, why; joined by "; ".
QString LeftFilesText(const std::vector<fw::LeftFile>& left, const QByteArray& folder);
