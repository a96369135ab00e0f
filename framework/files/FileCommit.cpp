#include "framework/files/FileCommit.h"

#include "framework/files/CommitJournal.h"
#include "framework/files/FileSteps.h"
#include "framework/files/FileSystemCalls.h"
#include "framework/files/Settling.h"
#include "framework/files/TextOutputStream.h"

#include <QFile>
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

// Settles the commit that the locked record describes, from what stands on
// the disk; the record itself stays.
InterruptedCommit SettleRecord(CommitJournal& journal) {
    using Outcome = InterruptedCommit::Outcome;
    InterruptedCommit found;
    found.record = journal.Path();
    Recorded recorded;
    switch (journal.Read(recorded)) {
    case CommitJournal::State::Unfinished: return found;  // nothing was changed yet
    case CommitJournal::State::Unreadable:
        found.outcome = Outcome::Unreadable;
        found.reason = SystemReason(journal.Error());
        return found;
    case CommitJournal::State::Begun: break;
    }
    std::vector<JournalEntry>& entries = recorded.entries;
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
    const std::optional<std::size_t> at = PointOnDisk(entries, path, recorded.undone ? placed : path.size());
    if (!at) {
        found.outcome = Outcome::Unsettled;
        found.left = WhatStands(entries, false);
    } else if (*at == 0) {
        found.outcome = Outcome::Untouched;
    } else if (*at >= placed && !recorded.undone) {
        found.outcome = Outcome::Completed;
        WalkOn(entries, path, *at, found.left);
    } else {
        found.outcome = Outcome::Undone;
        WalkBack(entries, path, *at, found.left);
    }
    return found;
}

}  // namespace

FileCommit::FileCommit(const QByteArray& folder, std::span<const QByteArray> names)
    : folder_(folder), names_(names.begin(), names.end()), journal_(std::make_unique<CommitJournal>(folder)) {}

FileCommit::~FileCommit() {
    if (recorded_) Fail(0, {});
    ForgetArmedFaults();
}

std::unique_ptr<FileCommit> FileCommit::Begin(const QByteArray& folder, std::span<const QByteArray> names,
                                              CommitFailure& failure) {
    std::unique_ptr<FileCommit> commit(new FileCommit(folder, names));
    if (auto failed = commit->Prepare()) {
        failure = std::move(*failed);
        return nullptr;
    }
    return commit;
}

CommitFailure FileCommit::Refusal(std::size_t index, QString reason) const {
    CommitFailure failure;
    failure.index = index;
    failure.path = folder_ + '/' + names_[index];
    failure.reason = std::move(reason);
    return failure;
}

std::optional<CommitFailure> FileCommit::Prepare() {
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (!IsBareName(names_[i]) || names_[i] == CommitJournal::kName) return Refusal(i, SystemReason(EINVAL));
    struct stat st {};
    const QString record = Quoted(journal_->Path());
    switch (journal_->Acquire(true)) {
    case CommitJournal::Lock::Held: break;
    case CommitJournal::Lock::Busy:
        return Refusal(0, QStringLiteral("another copy of the program kept the folder busy for too long"));
    case CommitJournal::Lock::Foreign:
        return Refusal(0, QStringLiteral("the record %1 in this folder belongs to another user").arg(record));
    case CommitJournal::Lock::Absent:
    case CommitJournal::Lock::Failed:
        // Something that is no record stands at its name.
        if (::lstat(journal_->Path().constData(), &st) != 0) return Refusal(0, SystemReason(journal_->Error()));
        return Refusal(0, QStringLiteral("the record %1 in this folder could not be used (%2)")
                              .arg(record, SystemReason(journal_->Error())));
    }
    if (auto failed = SettleEarlierCommit()) return failed;
    if (auto refused = CheckTargets()) {
        journal_->Remove();
        return refused;
    }
    if (!journal_->Write(entries_)) {
        const QString reason = SystemReason(journal_->Error());
        journal_->Remove();
        return Refusal(0, reason);
    }
    recorded_ = true;
    path_ = CommitPath(entries_);
    return CreateFiles();
}

// A record with content under the lock was left by a commit that died. One
// that cannot be settled stays as it is, and so do its files.
std::optional<CommitFailure> FileCommit::SettleEarlierCommit() {
    using Outcome = InterruptedCommit::Outcome;
    const InterruptedCommit earlier = SettleRecord(*journal_);
    QString what = QStringLiteral("not all of it could be settled");
    if (earlier.outcome == Outcome::Unreadable)
        what = QStringLiteral("its record %1 could not be used (%2)").arg(Quoted(earlier.record), earlier.reason);
    else if (earlier.outcome == Outcome::Unsettled)
        what = QStringLiteral("its files are not as it could have left them, so none was changed; keep what you "
                              "need of them, then remove its record %1")
                   .arg(Quoted(earlier.record));
    else if (earlier.left.empty())
        return std::nullopt;
    CommitFailure failure =
        Refusal(0, QStringLiteral("an earlier save in this folder was interrupted, and %1").arg(what));
    failure.left = earlier.left;
    failure.leftAsFound = earlier.outcome == Outcome::Unsettled;
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
        for (std::size_t other = 0; other < i; ++other) {
            if (keys[other] == keys[i]) {
                CommitFailure refusal = Refusal(i, QStringLiteral("it is the same file as %1")
                                                       .arg(Quoted(folder_ + '/' + names_[other])));
                refusal.sameAs = other;
                return refusal;
            }
        }
        entry.temporary = FreeHiddenName(entry.target, chosen);
        if (hasOldFile) entry.kept = FreeHiddenName(entry.target, chosen);
        if (entry.temporary.isEmpty() || (hasOldFile && entry.kept.isEmpty())) return Refusal(i, SystemReason(EEXIST));
        entries_.push_back(std::move(entry));
    }
    return std::nullopt;
}

std::optional<CommitFailure> FileCommit::CreateFiles() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const JournalEntry& entry = entries_[i];
        const QByteArray temporary = entry.Beside(entry.temporary);
        std::optional<TextOutputStream::Replaced> replaced;
        struct stat old {};
        if (!entry.kept.isEmpty() && ::stat(entry.target.constData(), &old) == 0)
            replaced = TextOutputStream::Replaced{entry.target, mode_t(old.st_mode & 07777), old.st_gid};
        // A file that replaces another starts private and takes the old
        // file's permissions on Close; a new one is created as the system
        // creates any file.
        const mode_t mode = replaced ? 0600 : 0666;
        const int fd = TakeStep(Step::CreateFile, entry.name, [&] {
            return ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        });
        if (fd < 0) return Fail(i, SystemReason(errno));
        ++at_;
        streams_.emplace_back(new TextOutputStream(entry.name, fd, replaced));
    }
    return std::nullopt;
}

std::optional<CommitFailure> FileCommit::Finish() {
    if (!recorded_) return Refusal(0, SystemReason(EALREADY));
    for (std::size_t i = 0; i < streams_.size(); ++i)
        if (!streams_[i]->Close()) return Fail(i, streams_[i]->Error());
    for (; at_ < path_.size() && path_[at_].to == Stage::Kept; ++at_)
        if (!KeepOldFile(entries_[path_[at_].index])) return Fail(path_[at_].index, SystemReason(errno));
    // Every old file has its second name on the disk before any target changes.
    if (at_ > entries_.size() && !SyncFolders(folder_, entries_, Step::SyncKept)) return Fail(0, SystemReason(errno));
    for (; at_ < path_.size() && path_[at_].to == Stage::Placed; ++at_) {
        const JournalEntry& entry = entries_[path_[at_].index];
        const QByteArray temporary = entry.Beside(entry.temporary);
        if (TakeStep(Step::PutInPlace, entry.name, [&] {
                return std::rename(temporary.constData(), entry.target.constData());
            }) != 0) {
            return Fail(path_[at_].index, SystemReason(errno));
        }
    }
    // Only new files that stand on the disk make the commit a success.
    if (!SyncFolders(folder_, entries_, Step::SyncPlaced)) return Fail(0, SystemReason(errno));
    recorded_ = false;
    // The new files stand: a kept file that cannot be removed stays named in
    // the record, for the next start to remove. Nothing here needs to reach
    // the disk: a record found again after a crash is settled the same way.
    std::vector<LeftFile> left;
    WalkOn(entries_, path_, at_, left);
    if (left.empty()) journal_->Remove();
    return std::nullopt;
}

// Keeps the old file under its hidden name: a second link, or where the
// file system refuses one, the file itself moved aside, never over a file
// that took the name meanwhile.
bool FileCommit::KeepOldFile(const JournalEntry& entry) {
    const QByteArray kept = entry.Beside(entry.kept);
    return TakeStep(Step::Link, entry.name, [&] {
               return ::linkat(AT_FDCWD, entry.target.constData(), AT_FDCWD, kept.constData(), 0);
           }) == 0 ||
           TakeStep(Step::MoveAside, entry.name, [&] { return RenameNoReplace(entry.target, kept); }) == 0;
}

// Walks back every step taken and reports the failure of target `index`.
// The record goes only once nothing of the commit is left.
CommitFailure FileCommit::Fail(std::size_t index, QString reason) {
    const int error = errno;
    recorded_ = false;
    streams_.clear();
    CommitFailure failure = Refusal(index, std::move(reason));
    // With every new file in place, only the record tells this commit from
    // a finished one.
    if (at_ == PlacedAt(path_)) journal_->MarkUndone();
    at_ = WalkBack(entries_, path_, at_, failure.left);
    if (failure.left.empty()) journal_->Remove();
    errno = error;
    return failure;
}

InterruptedCommit RecoverInterruptedCommit(const QByteArray& folder) {
    CommitJournal journal(folder);
    InterruptedCommit found;
    found.record = journal.Path();
    switch (journal.Acquire(false)) {
    case CommitJournal::Lock::Held: break;
    // No record, or one whose commit is still running in another copy.
    case CommitJournal::Lock::Absent:
    case CommitJournal::Lock::Busy: return {};
    // Maybe a colleague's commit that is still running: left alone.
    case CommitJournal::Lock::Foreign: found.outcome = InterruptedCommit::Outcome::Foreign; return found;
    case CommitJournal::Lock::Failed:
        found.outcome = InterruptedCommit::Outcome::Unreadable;
        found.reason = SystemReason(journal.Error());
        return found;
    }
    found = SettleRecord(journal);
    const bool settled = found.outcome != InterruptedCommit::Outcome::Unreadable &&
                         found.outcome != InterruptedCommit::Outcome::Unsettled && found.left.empty();
    if (settled && journal.Remove()) SyncFolder(folder);
    ForgetArmedFaults();
    return found;
}

}  // namespace fw
