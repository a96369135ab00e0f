#include "framework/files/FileCommit.h"

#include "framework/files/CommitJournal.h"
#include "framework/files/FileSteps.h"
#include "framework/files/FileSystemCalls.h"
#include "framework/files/Settling.h"
#include "framework/files/TextOutputStream.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace fw {
namespace {

// A hidden name beside `target` that no file has yet and that this commit
// has not chosen before; empty after a hundred taken ones.
QByteArray FreeHiddenName(const QByteArray& target, std::set<QByteArray>& chosen) {
    const QByteArray folder = FolderOfPath(target);
    for (int tries = 0; tries < 100; ++tries) {
        const QByteArray hidden = HiddenNameFor(NameOfPath(target));
        struct stat st {};
        const QByteArray path = folder + '/' + hidden;
        if (chosen.count(path) || ::lstat(path.constData(), &st) == 0 || errno != ENOENT) continue;
        chosen.insert(path);
        return hidden;
    }
    return {};
}

// What makes two targets one file: the file itself (device and inode) where
// one stands, else the folder and the name it would get.
using FileKey = std::tuple<dev_t, ino_t, QByteArray>;

FileKey KeyOf(const QByteArray& target) {
    struct stat st {};
    if (::stat(target.constData(), &st) == 0) return {st.st_dev, st.st_ino, {}};
    if (::stat(FolderOfPath(target).constData(), &st) == 0) return {st.st_dev, st.st_ino, NameOfPath(target)};
    return {0, 0, target};
}

QString Quoted(const QByteArray& path) { return QLatin1Char('"') + QFile::decodeName(path) + QLatin1Char('"'); }

// Settles the commit that the held record describes, from what stands on
// the disk; the record itself stays.
InterruptedCommit SettleRecord(CommitJournal& journal) {
    using Outcome = InterruptedCommit::Outcome;
    InterruptedCommit found;
    found.record = journal.Path();
    Recorded recorded = journal.Read();
    std::vector<JournalEntry>& entries = recorded.entries;
    if (entries.empty()) return found;  // a claim: nothing was changed yet
    if (!ResolveEntries(journal.Folder(), entries, found.reason)) {
        found.outcome = Outcome::Unreadable;
        return found;
    }
    for (const JournalEntry& entry : entries) {
        found.names.push_back(entry.name);
        found.hadOldFiles = found.hadOldFiles || !entry.kept.isEmpty();
    }
    const std::vector<PathStep> path = CommitPath(entries);
    const std::size_t placed = PlacedAt(path);
    // A commit that failed is never finished: its undo goes on.
    std::optional<std::size_t> at = PointOnDisk(entries, path, recorded.undone ? placed : path.size());
    if (!at) {
        found.outcome = Outcome::Unsettled;
        found.left = WhatStands(entries, false);
        return found;
    }
    const bool forward = *at >= placed && !recorded.undone;
    const auto flush = [](const PathStep& step) { return step.IsFlush(); };
    const bool untouched = forward ? std::all_of(path.begin() + qsizetype(*at), path.end(), flush) : *at == 0;
    found.outcome = untouched ? Outcome::Untouched : forward ? Outcome::Completed : Outcome::Undone;
    const bool walked = forward ? WalkForward(journal.Folder(), entries, path, *at, path.size())
                                : WalkBack(journal.Folder(), entries, path, *at);
    if (!walked) found.left = WhatStands(entries, forward, SystemReason(errno));
    return found;
}

}  // namespace

FileCommit::FileCommit(const QByteArray& folder, std::span<const QByteArray> names)
    : folder_(folder), names_(names.begin(), names.end()), journal_(std::make_unique<CommitJournal>(folder)) {}

// A commit dropped before it ended leaves its record, for the next one to settle.
FileCommit::~FileCommit() { ForgetArmedFaults(); }

std::unique_ptr<FileCommit> FileCommit::Begin(const QByteArray& folder, std::span<const QByteArray> names,
                                              CommitFailure& failure, InterruptedCommit* earlier) {
    std::unique_ptr<FileCommit> commit(new FileCommit(folder, names));
    if (auto failed = commit->Prepare(earlier)) {
        failure = std::move(*failed);
        return nullptr;
    }
    return commit;
}

CommitFailure FileCommit::Refusal(std::size_t index, QString reason) const {
    CommitFailure failure;
    failure.index = index;
    failure.path = folder_ + '/' + (index < names_.size() ? names_[index] : QByteArray());
    failure.reason = std::move(reason);
    return failure;
}

std::optional<CommitFailure> FileCommit::Prepare(InterruptedCommit* earlier) {
    if (!IsPageAndAnswers(names_)) return Refusal(0, SystemReason(EINVAL));
    const QString record = Quoted(journal_->Path());
    const CommitJournal::Lock lock = journal_->Acquire(true);
    if (lock == CommitJournal::Lock::Busy)
        return Refusal(0, QStringLiteral("another copy of the program kept the folder busy for too long"));
    if (lock == CommitJournal::Lock::Foreign)
        return Refusal(0, QStringLiteral("the record %1 in this folder belongs to another user").arg(record));
    if (lock == CommitJournal::Lock::Failed) {
        // The folder's own files could not be made, or something that is no
        // record stands at its name.
        struct stat st {};
        if (::lstat(journal_->Path().constData(), &st) != 0) return Refusal(0, journal_->Reason());
        return Refusal(
            0, QStringLiteral("the record %1 in this folder could not be used (%2)").arg(record, journal_->Reason()));
    }
    std::optional<CommitFailure> failed = lock == CommitJournal::Lock::Held ? SettleEarlierCommit(earlier)
                                                                            : std::nullopt;
    if (failed) return failed;
    std::optional<CommitFailure> refused = CheckTargets();
    if (!refused && !journal_->Write(entries_)) refused = Refusal(0, journal_->Reason());
    if (refused) {
        journal_->Remove();
        return refused;
    }
    recorded_ = true;
    path_ = CommitPath(entries_);
    return CreateFiles();
}

// A record whose writer no longer runs was left by a commit that died. One
// that cannot be settled stays as it is, and so do its files; a settled one
// gives way to this commit's claim.
std::optional<CommitFailure> FileCommit::SettleEarlierCommit(InterruptedCommit* earlier) {
    using Outcome = InterruptedCommit::Outcome;
    const InterruptedCommit found = SettleRecord(*journal_);
    if (earlier) *earlier = found;
    QString what = QStringLiteral("not all of it could be settled");
    if (found.outcome == Outcome::Unreadable)
        what = QStringLiteral("its record %1 could not be used (%2)").arg(Quoted(found.record), found.reason);
    else if (found.outcome == Outcome::Unsettled)
        what = QStringLiteral("its files are not as it could have left them, so none was changed; keep what you "
                              "need of them, then remove its record %1")
                   .arg(Quoted(found.record));
    else if (found.left.empty())
        return journal_->TakeOver() ? std::nullopt : std::optional(Refusal(0, journal_->Reason()));
    CommitFailure failure =
        Refusal(0, QStringLiteral("an earlier save in this folder was interrupted, and %1").arg(what));
    failure.left = found.left;
    failure.leftAsFound = found.outcome == Outcome::Unsettled;
    return failure;
}

// Follows each target's links and refuses, before anything changes, a
// target whose old file could not be put back or may not be written, and
// two targets that are one file.
std::optional<CommitFailure> FileCommit::CheckTargets() {
    std::set<QByteArray> chosen;
    std::vector<FileKey> keys;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        JournalEntry entry;
        entry.name = names_[i];
        entry.target = FollowLinks(folder_ + '/' + entry.name);
        if (entry.target.isEmpty()) return Refusal(i, SystemReason(errno));
        struct stat old {};
        const bool hasOldFile = ::lstat(entry.target.constData(), &old) == 0;
        if (!hasOldFile && errno != ENOENT) return Refusal(i, SystemReason(errno));
        if (hasOldFile) {
            if (S_ISDIR(old.st_mode)) return Refusal(i, QStringLiteral("a folder of that name is in the way"));
            struct stat folder {};
            if (::stat(FolderOfPath(entry.target).constData(), &folder) != 0) return Refusal(i, SystemReason(errno));
            if (!MayRemoveFrom(folder, old)) return Refusal(i, SystemReason(EPERM));
            if (::faccessat(AT_FDCWD, entry.target.constData(), W_OK, AT_EACCESS) != 0)
                return Refusal(i, SystemReason(errno));
        }
        keys.push_back(KeyOf(entry.target));
        if (const auto same = std::find(keys.begin(), keys.end() - 1, keys.back()); same != keys.end() - 1) {
            CommitFailure refusal = Refusal(
                i,
                QStringLiteral("it is the same file as %1").arg(Quoted(folder_ + '/' + names_[same - keys.begin()])));
            refusal.sameAs = std::size_t(same - keys.begin());
            return refusal;
        }
        entry.temporary = FreeHiddenName(entry.target, chosen);
        if (hasOldFile) entry.kept = FreeHiddenName(entry.target, chosen);
        if (entry.temporary.isEmpty() || (hasOldFile && entry.kept.isEmpty())) return Refusal(i, SystemReason(EEXIST));
        entries_.push_back(std::move(entry));
    }
    return std::nullopt;
}

std::optional<CommitFailure> FileCommit::CreateFiles() {
    for (; at_ < path_.size() && path_[at_].to == Stage::Created; ++at_) {
        const std::size_t i = path_[at_].index;
        const JournalEntry& entry = entries_[i];
        const QByteArray temporary = entry.Beside(entry.temporary);
        std::optional<TextOutputStream::Replaced> replaced;
        struct stat old {};
        if (!entry.kept.isEmpty() && ::stat(entry.target.constData(), &old) == 0)
            replaced = TextOutputStream::Replaced{entry.target, mode_t(old.st_mode & 07777), old.st_gid};
        // A file that replaces another starts private and takes the old file's
        // permissions on Close; a new one is made as the system makes any file.
        const int fd = TakeStep(Step::CreateFile, entry.name, [&] {
            return ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replaced ? 0600 : 0666);
        });
        if (fd < 0) return Fail(i, SystemReason(errno));
        streams_.emplace_back(new TextOutputStream(entry.name, fd, replaced));
    }
    return std::nullopt;
}

std::optional<CommitFailure> FileCommit::Finish() {
    if (!recorded_) return Refusal(0, SystemReason(EALREADY));
    for (std::size_t i = 0; i < streams_.size(); ++i)
        if (!streams_[i]->Close()) return Fail(i, streams_[i]->Error());
    // Only new files that stand on the disk make the commit a success.
    const std::size_t placed = PlacedAt(path_);
    if (!WalkForward(folder_, entries_, path_, at_, placed + 1))
        return Fail(path_[at_].IsFlush() ? 0 : path_[at_].index, SystemReason(errno));
    recorded_ = false;
    // The new files stand: a kept file that cannot be removed stays named in
    // the record, for the next start to remove. Nothing here needs to reach
    // the disk: a record found again after a crash is settled the same way.
    if (WalkForward(folder_, entries_, path_, at_, path_.size())) journal_->Remove();
    return std::nullopt;
}

// Walks back every step taken and reports the failure of target `index`,
// with whatever the walk could not take back. The record goes only once
// nothing of the commit is left.
CommitFailure FileCommit::Fail(std::size_t index, QString reason) {
    const int error = errno;
    recorded_ = false;
    streams_.clear();
    CommitFailure failure = Refusal(index, std::move(reason));
    // With every new file in place, only the record tells this commit from
    // a finished one.
    if (at_ == PlacedAt(path_)) journal_->MarkUndone();
    if (WalkBack(folder_, entries_, path_, at_)) journal_->Remove();
    else failure.left = WhatStands(entries_, false, SystemReason(errno));
    errno = error;
    return failure;
}

InterruptedCommit RecoverInterruptedCommit(const QByteArray& folder) {
    using Outcome = InterruptedCommit::Outcome;
    using Lock = CommitJournal::Lock;
    CommitJournal journal(folder);
    // No record, or one whose commit still runs in another copy: nothing to
    // say. Another user's record (maybe a colleague's running commit) and
    // one that cannot be used are left alone.
    const Lock lock = journal.Acquire(false);
    InterruptedCommit found = lock == Lock::Held ? SettleRecord(journal) : InterruptedCommit{};
    if (lock == Lock::Foreign) found.outcome = Outcome::Foreign;
    if (lock == Lock::Failed) found.outcome = Outcome::Unreadable, found.reason = journal.Reason();
    found.record = journal.Path();
    if (lock == Lock::Held && found.Settled() && journal.Remove()) SyncFolder(folder);
    ForgetArmedFaults();
    return found;
}

}  // namespace fw
