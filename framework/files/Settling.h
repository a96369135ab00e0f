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

// One step: target `index` reaches `to`.
struct PathStep {
    std::size_t index;
    Stage to;
};

// The commit's steps in their order: every new file created, every old file
// kept, every new file put in place, every kept old file removed; each in
// the order of the targets. A commit that took the first n steps is at n;
// at PlacedAt() every new file stands at its target.
std::vector<PathStep> CommitPath(const std::vector<JournalEntry>& entries);
std::size_t PlacedAt(const std::vector<PathStep>& path);

// Follows each entry's links again from the record's folder, under the
// system's rules for links, and checks that the record names nothing but
// bare names in its folder and hidden names of the program's own pattern
// beside their targets. False, with the reason, when it names anything else.
bool ResolveEntries(const QByteArray& folder, std::vector<JournalEntry>& entries, QString& reason);

// The first point on the path, up to `last`, whose state is what stands on
// the disk; nothing when no point is. A file is taken for the commit's own
// only where the path says it must be: an old file where its kept name and
// the target are one file, or it was moved aside and nothing took its place;
// a new file where it still has its hidden name, or the path has put it in
// place.
std::optional<std::size_t> PointOnDisk(const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path,
                                       std::size_t last);

// Walks the path back from `at` to its start, or on to its end, and gives
// the point reached. A step that fails stops the walk where the disk shows a
// point on the path; then `left` says what stands where, and why.
std::size_t WalkBack(const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path, std::size_t at,
                     std::vector<LeftFile>& left);
std::size_t WalkOn(const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path, std::size_t at,
                   std::vector<LeftFile>& left);

// What of the commit stands on the disk: kept old files, hidden new files,
// and, unless the commit `placed` every new file, files at targets that had
// none; each with `reason`.
std::vector<LeftFile> WhatStands(const std::vector<JournalEntry>& entries, bool placed, const QString& reason = {});

// Flushes the entries of the record's folder and of every folder a target
// stands in.
bool SyncFolders(const QByteArray& folder, const std::vector<JournalEntry>& entries, Step step);

}  // namespace fw
