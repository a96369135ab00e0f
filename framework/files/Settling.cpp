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
    struct stat target {};
    struct stat kept {};
    struct stat temporary {};
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

// Takes back the step `step`. Nothing is ever renamed over a file, so a
// file that took one of the names meanwhile stops the walk and stays. A
// flush walked back is a flush: every new file is back under its hidden name
// on the disk before an old file comes back, so a crash in between is never
// taken for a finished commit. A kept old file is never removed on this
// walk, which starts where every new file stands at most.
int StepBack(const QByteArray& folder, const std::vector<JournalEntry>& entries, const PathStep& step) {
    if (step.IsFlush()) return SyncFolders(folder, entries, Step::SyncUndo) ? 0 : -1;
    const JournalEntry& entry = entries[step.index];
    const QByteArray kept = entry.Beside(entry.kept);
    const QByteArray temporary = entry.Beside(entry.temporary);
    if (step.to == Stage::Created)
        return TakeStep(Step::RemoveNew, entry.name, [&] { return ::unlink(temporary.constData()); });
    if (step.to == Stage::Kept && OldFileKept(entry, Look(entry)))
        return TakeStep(Step::RemoveKept, entry.name, [&] { return ::unlink(kept.constData()); });
    if (step.to == Stage::Kept)
        return TakeStep(Step::PutBack, entry.name, [&] { return RenameNoReplace(kept, entry.target); });
    return TakeStep(Step::TakeBack, entry.name, [&] { return RenameNoReplace(entry.target, temporary); });
}

// Takes the step `step`, past every new file's creation: the old file kept
// under its hidden name (a second link, or where the file system refuses
// one, the file itself moved aside, never over a file that took the name
// meanwhile), the new file put in place, the kept file removed.
int StepForward(const QByteArray& folder, const std::vector<JournalEntry>& entries, const PathStep& step) {
    if (step.IsFlush())
        return SyncFolders(folder, entries, step.to == Stage::Kept ? Step::SyncKept : Step::SyncPlaced) ? 0 : -1;
    const JournalEntry& entry = entries[step.index];
    const QByteArray kept = entry.Beside(entry.kept);
    const QByteArray temporary = entry.Beside(entry.temporary);
    if (step.to == Stage::Kept) {
        if (TakeStep(Step::Link, entry.name, [&] { return Link(entry.target, kept); }) == 0) return 0;
        return TakeStep(Step::MoveAside, entry.name, [&] { return RenameNoReplace(entry.target, kept); });
    }
    if (step.to == Stage::Placed)
        return TakeStep(Step::PutInPlace, entry.name,
                        [&] { return std::rename(temporary.constData(), entry.target.constData()); });
    return TakeStep(Step::RemoveKept, entry.name, [&] { return ::unlink(kept.constData()); });
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

bool OnlyFlushesFrom(const std::vector<PathStep>& path, std::size_t at) {
    return std::all_of(path.begin() + qsizetype(at), path.end(), [](const PathStep& step) { return step.IsFlush(); });
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
        if (StepBack(folder, entries, path[at - 1]) != 0) return false;
    return true;
}

bool WalkForward(const QByteArray& folder, const std::vector<JournalEntry>& entries, const std::vector<PathStep>& path,
                 std::size_t& at, std::size_t end) {
    for (; at < end; ++at)
        if (StepForward(folder, entries, path[at]) != 0) return false;
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
