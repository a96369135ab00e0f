#include "framework/CommitTogether.h"

#include "framework/CommitJournal.h"
#include "framework/FileSteps.h"
#include "framework/FileSystemCalls.h"
#include "framework/TextOutputStream.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

// A hidden name beside `path` that no file has yet and that this commit has
// not chosen before.
QByteArray FreeHiddenName(const QByteArray& path, std::set<QByteArray>& chosen) {
    const QByteArray folder = FolderOfPath(path);
    const QByteArray name = NameOfPath(path);
    for (int tries = 0; tries < kHiddenNameTries; ++tries) {
        const QByteArray hidden = folder + '/' + HiddenNameFor(name);
        struct stat st {};
        if (chosen.count(hidden) || ::lstat(hidden.constData(), &st) == 0 || errno != ENOENT) continue;
        chosen.insert(hidden);
        return hidden;
    }
    return {};
}

QString Joined(const QStringList& left) { return left.join(QStringLiteral("; ")); }

// Settles the commit that the locked record describes, from what stands on
// the disk; the record itself stays.
InterruptedCommit SettleRecord(CommitJournal& journal) {
    InterruptedCommit found;
    found.record = QFile::decodeName(journal.Path());
    std::vector<JournalEntry> entries;
    Settled settled;
    switch (journal.Read(entries)) {
    case CommitJournal::State::Empty:
    case CommitJournal::State::Unfinished: return found;  // nothing was changed yet
    case CommitJournal::State::Unreadable:
        found.outcome = InterruptedCommit::Outcome::Unreadable;
        found.reason = SystemReason(journal.Error());
        return found;
    case CommitJournal::State::Begun:
        found.outcome = InterruptedCommit::Outcome::Undone;
        settled = Undo(entries);
        break;
    case CommitJournal::State::Placed:
        found.outcome = InterruptedCommit::Outcome::Completed;
        settled = Complete(entries);
        break;
    }
    for (const JournalEntry& entry : entries) {
        found.targets << QFile::decodeName(entry.named);
        if (!entry.kept.isEmpty()) found.hadOldFiles = true;
    }
    found.left = settled.left;
    SyncFolders(FolderOfPath(journal.Path()), entries);
    return found;
}

}  // namespace

FileCommit::FileCommit(std::span<const QString> targets) : targets_(targets.begin(), targets.end()) {
    journal_ = std::make_unique<CommitJournal>(FolderOfPath(QFile::encodeName(targets_.front())));
}

FileCommit::~FileCommit() {
    if (recorded_) Fail(0, {});
    ForgetArmedFaults();
}

std::unique_ptr<FileCommit> FileCommit::Begin(std::span<const QString> targets, CommitFailure& failure) {
    std::unique_ptr<FileCommit> commit(new FileCommit(targets));
    if (auto failed = commit->Prepare()) {
        failure = std::move(*failed);
        return nullptr;
    }
    return commit;
}

std::optional<CommitFailure> FileCommit::Prepare() {
    const auto refuse = [this](std::size_t index, const QString& reason) {
        return CommitFailure{index, targets_[index], reason};
    };
    switch (journal_->Acquire(true)) {
    case CommitJournal::Lock::Held: break;
    case CommitJournal::Lock::Busy: return refuse(0, FolderBusyReason());
    case CommitJournal::Lock::Absent:
    case CommitJournal::Lock::Failed: return refuse(0, SystemReason(journal_->Error()));
    }
    QString reason;
    if (!RecoverEarlierCommit(reason)) return refuse(0, reason);
    std::set<QByteArray> chosen;
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        JournalEntry entry;
        entry.named = QFile::encodeName(targets_[i]);
        bool hasOldFile = false;
        if (!CheckTarget(entry, hasOldFile, reason)) {
            journal_->Remove();
            return refuse(i, reason);
        }
        entry.temporary = FreeHiddenName(entry.target, chosen);
        if (hasOldFile) entry.kept = FreeHiddenName(entry.target, chosen);
        if (entry.temporary.isEmpty() || (hasOldFile && entry.kept.isEmpty())) {
            journal_->Remove();
            return refuse(i, SystemReason(EEXIST));
        }
        entries_.push_back(std::move(entry));
    }
    if (!journal_->Write(entries_)) {
        reason = SystemReason(journal_->Error());
        journal_->Remove();
        return refuse(0, reason);
    }
    recorded_ = true;
    std::size_t failed = 0;
    if (!CreateFiles(failed, reason)) return Fail(failed, reason);
    return std::nullopt;
}

// A record with content under the lock was left by a commit that died.
bool FileCommit::RecoverEarlierCommit(QString& reason) {
    const InterruptedCommit earlier = SettleRecord(*journal_);
    if (earlier.outcome == InterruptedCommit::Outcome::Unreadable) {
        reason = QStringLiteral("an earlier save in this folder was interrupted, and its record \"%1\" could not "
                                "be read (%2)")
                     .arg(earlier.record, earlier.reason);
        return false;
    }
    if (!earlier.left.isEmpty()) {
        reason = QStringLiteral("an earlier save in this folder was interrupted: ") + Joined(earlier.left);
        return false;
    }
    return true;
}

// Follows the target's links and refuses, before anything changes, a
// target whose old file could not be put back or may not be written.
bool FileCommit::CheckTarget(JournalEntry& entry, bool& hasOldFile, QString& reason) const {
    const auto refuse = [&reason](const QString& why) {
        reason = why;
        return false;
    };
    entry.target = FollowLinks(entry.named);
    if (entry.target.isEmpty()) return refuse(SystemReason(errno));
    struct stat old {};
    if (::lstat(entry.target.constData(), &old) != 0) {
        if (errno == ENOENT) return true;
        return refuse(SystemReason(errno));
    }
    if (S_ISDIR(old.st_mode)) return refuse(FolderInTheWayReason());
    struct stat folder {};
    if (::stat(FolderOfPath(entry.target).constData(), &folder) != 0) return refuse(SystemReason(errno));
    if (!MayRemoveFrom(folder, old)) return refuse(SystemReason(EPERM));
    if (::faccessat(AT_FDCWD, entry.target.constData(), W_OK, AT_EACCESS) != 0) return refuse(SystemReason(errno));
    hasOldFile = true;
    return true;
}

bool FileCommit::CreateFiles(std::size_t& failed, QString& reason) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const JournalEntry& entry = entries_[i];
        const QByteArray file = NameOfPath(entry.named);
        std::optional<TextOutputStream::Replaced> replaced;
        struct stat old {};
        if (!entry.kept.isEmpty() && ::stat(entry.target.constData(), &old) == 0)
            replaced = TextOutputStream::Replaced{entry.target, mode_t(old.st_mode & 07777), old.st_gid};
        // A file that replaces another starts private and takes the old
        // file's permissions on Close; a new one is created as the system
        // creates any file.
        const mode_t mode = replaced ? 0600 : 0666;
        const int fd = TakeStep(Step::CreateFile, file, [&] {
            return ::open(entry.temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        });
        if (fd < 0) {
            failed = i;
            reason = SystemReason(errno);
            return false;
        }
        streams_.emplace_back(new TextOutputStream(file, fd, replaced));
    }
    return true;
}

std::optional<CommitFailure> FileCommit::Finish() {
    if (!recorded_) return CommitFailure{0, targets_.front(), SystemReason(EALREADY)};
    for (std::size_t i = 0; i < streams_.size(); ++i) {
        if (!streams_[i]->Close()) return Fail(i, streams_[i]->Error());
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].kept.isEmpty() && !KeepOldFile(entries_[i])) return Fail(i, SystemReason(errno));
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const JournalEntry& entry = entries_[i];
        if (TakeStep(Step::PutInPlace, NameOfPath(entry.named), [&] {
                return std::rename(entry.temporary.constData(), entry.target.constData());
            }) != 0) {
            return Fail(i, SystemReason(errno));
        }
    }
    // The renames reach the disk before the record says they did.
    SyncFolders(FolderOfPath(journal_->Path()), entries_);
    if (!journal_->MarkPlaced()) return Fail(0, SystemReason(journal_->Error()));
    recorded_ = false;
    // The new files stand: a kept file that cannot be removed stays named in
    // the record, for the next start to remove.
    if (Complete(entries_).left.isEmpty()) journal_->Remove();
    SyncFolders(FolderOfPath(journal_->Path()), entries_);
    return std::nullopt;
}

// Keeps the old file under its hidden name: a second link, or where the
// file system refuses one, the file itself moved aside, never over a file
// that took the name meanwhile.
bool FileCommit::KeepOldFile(const JournalEntry& entry) {
    const QByteArray file = NameOfPath(entry.named);
    const char* target = entry.target.constData();
    const char* kept = entry.kept.constData();
    if (TakeStep(Step::Link, file, [&] { return ::linkat(AT_FDCWD, target, AT_FDCWD, kept, 0); }) == 0) return true;
    return TakeStep(Step::MoveAside, file, [&] {
               if (::renameat2(AT_FDCWD, target, AT_FDCWD, kept, RENAME_NOREPLACE) == 0) return 0;
               if (errno != EINVAL && errno != ENOSYS) return -1;
               // A file system that cannot rename without replacing.
               struct stat st {};
               if (::lstat(kept, &st) == 0) {
                   errno = EEXIST;
                   return -1;
               }
               return std::rename(target, kept);
           }) == 0;
}

// Undoes every step taken, removes the new files and reports the failure of
// target `index`. The record goes only once nothing of the commit is left.
CommitFailure FileCommit::Fail(std::size_t index, QString reason) {
    recorded_ = false;
    streams_.clear();
    const Settled settled = Undo(entries_);
    SyncFolders(FolderOfPath(journal_->Path()), entries_);
    if (settled.left.isEmpty())
        journal_->Remove();
    else
        reason += QStringLiteral("; ") + Joined(settled.left);
    return {index, targets_[index], reason};
}

InterruptedCommit RecoverInterruptedCommit(const QString& folder) {
    CommitJournal journal(QFile::encodeName(folder));
    const CommitJournal::Lock lock = journal.Acquire(false);
    // No record, or one whose commit is still running in another copy.
    if (lock == CommitJournal::Lock::Absent || lock == CommitJournal::Lock::Busy) return {};
    if (lock == CommitJournal::Lock::Failed) {
        InterruptedCommit found;
        found.outcome = InterruptedCommit::Outcome::Unreadable;
        found.record = QFile::decodeName(journal.Path());
        found.reason = SystemReason(journal.Error());
        return found;
    }
    InterruptedCommit found = SettleRecord(journal);
    if (found.outcome != InterruptedCommit::Outcome::Unreadable && found.left.isEmpty()) journal.Remove();
    ForgetArmedFaults();
    return found;
}

}  // namespace fw
