#include "framework/files/Settling.h"

#include "framework/files/FileSteps.h"
#include "framework/files/FileSystemCalls.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

// What stands under a target's three names.
struct Names {
    bool target = false;
    bool temporary = false;
    bool kept = false;
    bool oneFile = false;  // the target and the kept name are one file
};

Names Look(const JournalEntry& entry) {
    struct stat target = {}, kept = {}, temporary = {};
    Names names;
    names.target = ::lstat(entry.target.constData(), &target) == 0;
    names.temporary = ::lstat(entry.Beside(entry.temporary).constData(), &temporary) == 0;
    names.kept = !entry.kept.isEmpty() && ::lstat(entry.Beside(entry.kept).constData(), &kept) == 0;
    names.oneFile = names.target && names.kept && target.st_dev == kept.st_dev && target.st_ino == kept.st_ino;
    return names;
}

// Whether the target and the kept name are one file, or two files of the
// same bytes, as a copy of the folder makes of one.
bool OldFileKept(const JournalEntry& entry, const Names& on) {
    if (on.oneFile) return true;
    QFile target(QFile::decodeName(entry.target));
    QFile kept(QFile::decodeName(entry.Beside(entry.kept)));
    return on.target && on.kept && target.size() == kept.size() && target.open(QIODevice::ReadOnly) &&
           kept.open(QIODevice::ReadOnly) && target.readAll() == kept.readAll();
}

// The stage that leaves what stands under the target's names; nothing where
// no stage does. With an old file, Before stands for Removed as well.
std::optional<Stage> StageOnDisk(const JournalEntry& entry) {
    const Names on = Look(entry);
    if (entry.kept.isEmpty()) {
        if (on.temporary == on.target) return on.target ? std::nullopt : std::optional(Stage::Before);
        return on.temporary ? Stage::Created : Stage::Placed;
    }
    if (!on.kept) {
        if (!on.temporary) return Stage::Before;
        return on.target ? std::optional(Stage::Created) : std::nullopt;
    }
    if (on.temporary) return !on.target || OldFileKept(entry, on) ? std::optional(Stage::Kept) : std::nullopt;
    return on.target && !on.oneFile ? std::optional(Stage::Placed) : std::nullopt;
}

// Takes the step `step` of the path, or, `back`, takes it back. Forward
// (past every new file's creation): the old file kept under its hidden name
// (a second link, or where the file system refuses one, the file itself moved
// aside), the new file put in place, the kept file removed. Back (from where
// every new file stands at most): the reverse; a flush walked back is a
// flush, so every new file is back under its hidden name on the disk before
// an old file comes back. Nothing is renamed over a file but a new file over
// its target: a file that took one of the names meanwhile stops the walk.
int TakeOnPath(const QByteArray& folder, const std::vector<JournalEntry>& entries, const PathStep& step, bool back) {
    if (step.IsFlush()) {
        const Step flush = back ? Step::SyncUndo : step.to == Stage::Kept ? Step::SyncKept : Step::SyncPlaced;
        return SyncFolders(folder, entries, flush) ? 0 : -1;
    }
    const JournalEntry& entry = entries[step.index];
    const QByteArray& target = entry.target;
    const QByteArray kept = entry.Beside(entry.kept), temporary = entry.Beside(entry.temporary);
    const auto take = [&](Step taken, auto call) { return TakeStep(taken, entry.name, call); };
    const auto unlink = [](const QByteArray& path) { return [&path] { return ::unlink(path.constData()); }; };
    if (back && step.to == Stage::Created) return take(Step::RemoveNew, unlink(temporary));
    if (back && step.to == Stage::Kept && OldFileKept(entry, Look(entry))) return take(Step::RemoveKept, unlink(kept));
    if (back && step.to == Stage::Kept) return take(Step::PutBack, [&] { return RenameNoReplace(kept, target); });
    if (back) return take(Step::TakeBack, [&] { return RenameNoReplace(target, temporary); });
    if (step.to == Stage::Kept && take(Step::Link, [&] { return Link(target, kept); }) == 0) return 0;
    if (step.to == Stage::Kept) return take(Step::MoveAside, [&] { return RenameNoReplace(target, kept); });
    if (step.to == Stage::Placed)
        return take(Step::PutInPlace, [&] { return std::rename(temporary.constData(), target.constData()); });
    return take(Step::RemoveKept, unlink(kept));
}

}  // namespace

std::vector<PathStep> CommitPath(const std::vector<JournalEntry>& entries) {
    const bool anyOldFile =
        std::any_of(entries.begin(), entries.end(), [](const JournalEntry& entry) { return !entry.kept.isEmpty(); });
    std::vector<PathStep> path;
    for (const Stage stage : {Stage::Created, Stage::Kept, Stage::Placed, Stage::Removed}) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const bool hasOldFile = !entries[i].kept.isEmpty();
            if (hasOldFile || stage == Stage::Created || stage == Stage::Placed) path.push_back({i, stage});
        }
        if (stage == Stage::Placed || (stage == Stage::Kept && anyOldFile)) path.push_back({PathStep::kFlush, stage});
    }
    return path;
}

std::size_t PlacedAt(const std::vector<PathStep>& path) {
    return std::size_t(std::find_if(path.begin(), path.end(),
                                    [](const PathStep& step) { return step.IsFlush() && step.to == Stage::Placed; }) -
                       path.begin());
}

bool ResolveEntries(const QByteArray& folder, std::vector<JournalEntry>& entries, QString& reason) {
    std::set<QByteArray> seen;
    const auto once = [&seen](const QByteArray& path) { return seen.insert(path).second; };
    reason = QStringLiteral("it names a file that no save of this program makes");
    for (JournalEntry& entry : entries) {
        once(folder + '/' + entry.name);  // a bare name: the record's own rule
        entry.target = FollowLinks(folder + '/' + entry.name);
        if (entry.target.isEmpty()) {
            reason = SystemReason(errno);
            return false;
        }
        const QByteArray name = NameOfPath(entry.target);
        const bool hiddenOk = IsHiddenNameFor(entry.temporary, name) &&
                              (entry.kept.isEmpty() || IsHiddenNameFor(entry.kept, name));
        if (!hiddenOk || (entry.target != folder + '/' + entry.name && !once(entry.target)) ||
            !once(entry.Beside(entry.temporary)) || (!entry.kept.isEmpty() && !once(entry.Beside(entry.kept))))
            return false;
    }
    return true;
}

std::optional<std::size_t> PointOnDisk(const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path,
                                       std::size_t last) {
    std::vector<Stage> seen;
    for (const JournalEntry& entry : entries) {
        const std::optional<Stage> stage = StageOnDisk(entry);
        if (!stage) return std::nullopt;
        seen.push_back(*stage);
    }
    std::vector<Stage> stages(entries.size(), Stage::Before);
    for (std::size_t at = 0;; ++at) {
        bool same = true;
        for (std::size_t i = 0; i < entries.size(); ++i)
            same = same && (stages[i] == seen[i] || (stages[i] == Stage::Removed && seen[i] == Stage::Before));
        if (same) return at;
        if (at == last) return std::nullopt;
        if (!path[at].IsFlush()) stages[path[at].index] = path[at].to;
    }
}

bool WalkBack(const QByteArray& folder, const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path,
              std::size_t& at) {
    for (; at > 0; --at)
        if (TakeOnPath(folder, entries, path[at - 1], true) != 0) return false;
    return true;
}

bool WalkForward(const QByteArray& folder, const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path,
                 std::size_t& at, std::size_t end) {
    for (; at < end; ++at)
        if (TakeOnPath(folder, entries, path[at], false) != 0) return false;
    return true;
}

std::vector<LeftFile> WhatStands(const std::vector<JournalEntry>& entries, bool placed, const QString& reason) {
    std::vector<LeftFile> left;
    for (const JournalEntry& entry : entries) {
        const Names on = Look(entry);
        if (on.kept) left.push_back({LeftFile::What::OldFile, entry.name, entry.Beside(entry.kept), reason});
        if (on.temporary)
            left.push_back({LeftFile::What::Unfinished, entry.name, entry.Beside(entry.temporary), reason});
        if (on.target && entry.kept.isEmpty() && !placed)
            left.push_back({LeftFile::What::NewFile, entry.name, entry.target, reason});
    }
    return left;
}

bool SyncFolders(const QByteArray& folder, const std::vector<JournalEntry>& entries, Step step) {
    std::set<QByteArray> folders{folder};
    for (const JournalEntry& entry : entries) folders.insert(FolderOfPath(entry.target));
    return TakeStep(step, {}, [&] {
               for (const QByteArray& each : folders)
                   if (!SyncFolder(each)) return -1;
               return 0;
           }) == 0;
}

}  // namespace fw
