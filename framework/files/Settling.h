// The path a commit takes, step by step, and settling a commit from any point
// on it: back to its start, or on to its end. The commit itself, its undo and
// the start after a crash all walk the same path, so every state a crash can
// leave is a point on it, and the disk alone tells which.
#pragma once

#include "framework/files/CommitJournal.h"
#include "framework/files/FileCommit.h"
#include "framework/files/FileSteps.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace fw {

// How far one target got: nothing of the commit stands; the new file under
// its hidden name; the old file under its kept name too (a second name, or
// moved aside); the new file at the target; the kept old file removed.
enum class Stage { Before, Created, Kept, Placed, Removed };

// One step: target `index` reaches `to`; or, a flush, the folders' entries
// made to last once the steps before it brought the targets to `to`.
struct PathStep {
    static constexpr std::size_t kFlush = std::size_t(-1);
    std::size_t index;
    Stage to;
    bool IsFlush() const { return index == kFlush; }
};

// The steps in their order: every new file created; every old file kept,
// then a flush; every new file put in place, then a flush; every kept old
// file removed; each through the targets in order. A commit that took the
// first n steps is at n. PlacedAt(): the point at which every new file
// stands at its target, before the flush that makes it last.
std::vector<PathStep> CommitPath(const std::vector<JournalEntry>& entries);
std::size_t PlacedAt(const std::vector<PathStep>& path);

// Follows each entry's links again from the record's folder, under the
// system's rules for links, and checks that the record names nothing but
// hidden names of the program's pattern beside the targets, each once. False,
// with the reason, where it names anything else.
bool ResolveEntries(const QByteArray& folder, std::vector<JournalEntry>& entries, QString& reason);

// The first point on the path, up to `last`, whose state is what stands on
// the disk; nothing when no point is. A file is the commit's own only where
// the path says it must be: an old file where its kept name and the target
// are one file, or it was moved aside and nothing took its place; a new file
// where it still has its hidden name, or the path has put it in place.
std::optional<std::size_t> PointOnDisk(const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path,
                                       std::size_t last);

// Walks the path from `at` back to its start (from PlacedAt() at most), or
// forward to `end` (from past every new file's creation), moving `at` along.
// A step that fails stops the walk, with errno set, where the disk shows a
// point on the path: false.
bool WalkBack(const QByteArray& folder, const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path,
              std::size_t& at);
bool WalkForward(const QByteArray& folder, const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path,
                 std::size_t& at, std::size_t end);

// What of the commit stands: kept old files, hidden new files, and, unless
// every new file was `placed`, files at targets that had none; with `reason`.
std::vector<LeftFile> WhatStands(const std::vector<JournalEntry>& entries, bool placed, const QString& reason = {});

// Flushes the entries of the record's folder and of every target's folder.
bool SyncFolders(const QByteArray& folder, const std::vector<JournalEntry>& entries, Step step);

}  // namespace fw
