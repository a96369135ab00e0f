// Putting several written files in place of their targets as one change.
#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <span>

namespace fw {

class TextOutputStream;

struct CommitFailure {
    std::size_t index;  // the stream whose file could not be written or put in place
    QString path;       // its target
    QString reason;     // the system's reason
};

// Closes every stream, then replaces every target with its stream's file:
// all of them, or none. Each existing target is first kept under a hidden
// name (a hard link, or the file itself moved aside where links fail); if
// any step fails, everything done so far is undone before returning: the old
// files are back as they were (the same files, so content, permissions and
// owner), targets that had no file are gone again and no temporary or kept
// file is left. On success the kept files are removed. The folder is synced
// either way.
std::optional<CommitFailure> CommitTogether(std::span<TextOutputStream* const> streams);

}  // namespace fw
