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

// How far one target got.
enum class Stage {
    Before,   // nothing of the commit stands
    Created,  // the new file stands under its hidden name
    Kept,     // the old file stands under its kept name too (a second name, or moved aside)
    Placed,   // the new file stands at the target, the old one under its kept name only
    Removed,  // the kept old file is gone: the target is finished
};

// One step: target `index` reaches `to`.
struct PathStep {
    std::size_t index;
    Stage to;
};

// The commit's steps in their order: every new file created, every old file
// kept, every new file put in place, every kept old file removed; each in
// the order of the targets. A commit that took the first n steps is at n.
std::vector<PathStep> CommitPath(const std::vector<JournalEntry>& entries);

// The point at which every new file stands at its target.
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

// Walks the path back from `at` to its start, or on from `at` to its end,
// and gives the point reached. The first step that fails stops the walk, so
// that the disk still shows a point on the path; then `left` says what
// stands where, with the system's reason.
std::size_t WalkBack(const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path, std::size_t at,
                     std::vector<LeftFile>& left);
std::size_t WalkOn(const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path, std::size_t at,
                   std::vector<LeftFile>& left);

// The commit's files that stand on the disk, where it is at no point of its
// path: kept old files, hidden new files, and files at targets that had none.
std::vector<LeftFile> WhatStands(const std::vector<JournalEntry>& entries);

// Flushes the entries of the record's folder and of every folder a target
// stands in.
bool SyncFolders(const QByteArray& folder, const std::vector<JournalEntry>& entries, Step step);

}  // namespace fw
