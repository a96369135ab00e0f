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
#include <unistd.h>

namespace fw {
namespace {

// A hidden name beside `target` that no file has yet and that this commit
// has not chosen before.
QByteArray FreeHiddenName(const QByteArray& target, std::set<QByteArray>& chosen) {
    const QByteArray folder = FolderOfPath(target);
    for (int tries = 0; tries < kHiddenNameTries; ++tries) {
        const QByteArray hidden = HiddenNameFor(NameOfPath(target));
        struct stat st {};
        const QByteArray path = folder + '/' + hidden;
        if (chosen.count(path) || ::lstat(path.constData(), &st) == 0 || errno != ENOENT) continue;
        chosen.insert(path);
        return hidden;
    }
    return {};
}

// What makes two targets one file: the file itself where one stands, else
// the folder and the name it would get.
struct FileKey {
    dev_t device;
    ino_t inode;
    QByteArray name;
    bool operator==(const FileKey&) const = default;
};

FileKey KeyOf(const QByteArray& target) {
    struct stat st {};
    if (::stat(target.constData(), &st) == 0) return {st.st_dev, st.st_ino, {}};
    if (::stat(FolderOfPath(target).constData(), &st) == 0) return {st.st_dev, st.st_ino, NameOfPath(target)};
    return {0, 0, target};
}

QString Quoted(const QByteArray& path) { return QLatin1Char('"') + QFile::decodeName(path) + QLatin1Char('"'); }

QString ForeignRecordReason(const QByteArray& record) {
    return QStringLiteral("the record %1 in this folder belongs to another user").arg(Quoted(record));
}

// Settles the commit that the locked record describes, from what stands on
// the disk; the record itself stays.
InterruptedCommit SettleRecord(CommitJournal& journal) {
    InterruptedCommit found;
    found.record = journal.Path();
    std::vector<JournalEntry> entries;
    switch (journal.Read(entries)) {
    case CommitJournal::State::Empty:
    case CommitJournal::State::Unfinished: return found;  // nothing was changed yet
    case CommitJournal::State::Unreadable:
        found.outcome = InterruptedCommit::Outcome::Unreadable;
        found.reason = SystemReason(journal.Error());
        return found;
    case CommitJournal::State::Begun: break;
    }
    if (!ResolveEntries(journal.Folder(), entries, found.reason)) {
        found.outcome = InterruptedCommit::Outcome::Unreadable;
        return found;
    }
    for (const JournalEntry& entry : entries) {
        found.names.push_back(entry.name);
        if (!entry.kept.isEmpty()) found.hadOldFiles = true;
    }
    bool finished = false;
    std::vector<Progress> progress = ProgressOnDisk(entries, finished);
    if (finished) {
        found.outcome = InterruptedCommit::Outcome::Completed;
        Complete(entries, found.left);
    } else {
        found.outcome = InterruptedCommit::Outcome::Undone;
        Undo(entries, progress, found.left);
    }
    SyncFolders(journal.Folder(), entries, Step::SyncUndo);
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
    switch (journal_->Acquire(true)) {
    case CommitJournal::Lock::Held: break;
    case CommitJournal::Lock::Busy: return Refusal(0, FolderBusyReason());
    case CommitJournal::Lock::Foreign: return Refusal(0, ForeignRecordReason(journal_->Path()));
    case CommitJournal::Lock::Absent:
    case CommitJournal::Lock::Failed: return Refusal(0, SystemReason(journal_->Error()));
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
    progress_.assign(entries_.size(), Progress{});
    std::size_t failed = 0;
    QString reason;
    if (!CreateFiles(failed, reason)) return Fail(failed, reason);
    return std::nullopt;
}

// A record with content under the lock was left by a commit that died.
std::optional<CommitFailure> FileCommit::SettleEarlierCommit() {
    const InterruptedCommit earlier = SettleRecord(*journal_);
    if (earlier.outcome == InterruptedCommit::Outcome::Unreadable) {
        return Refusal(0, QStringLiteral("an earlier save in this folder was interrupted, and its record %1 "
                                         "could not be used (%2)")
                              .arg(Quoted(earlier.record), earlier.reason));
    }
    if (!earlier.left.empty()) {
        CommitFailure failure = Refusal(0, QStringLiteral("an earlier save in this folder was interrupted, and "
                                                          "not all of it could be settled"));
        failure.left = earlier.left;
        return failure;
    }
    return std::nullopt;
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
            if (S_ISDIR(old.st_mode)) return Refusal(i, FolderInTheWayReason());
            struct stat folder {};
            if (::stat(FolderOfPath(entry.target).constData(), &folder) != 0) return Refusal(i, SystemReason(errno));
            if (!MayRemoveFrom(folder, old)) return Refusal(i, SystemReason(EPERM));
            if (::faccessat(AT_FDCWD, entry.target.constData(), W_OK, AT_EACCESS) != 0)
                return Refusal(i, SystemReason(errno));
            entry.oldSize = old.st_size;
            entry.oldTime = qint64(old.st_mtim.tv_sec) * 1000000000 + old.st_mtim.tv_nsec;
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

bool FileCommit::CreateFiles(std::size_t& failed, QString& reason) {
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
        if (fd < 0) {
            failed = i;
            reason = SystemReason(errno);
            return false;
        }
        progress_[i].created = true;
        streams_.emplace_back(new TextOutputStream(entry.name, fd, replaced));
    }
    return true;
}

std::optional<CommitFailure> FileCommit::Finish() {
    if (!recorded_) return Refusal(0, SystemReason(EALREADY));
    for (std::size_t i = 0; i < streams_.size(); ++i) {
        if (!streams_[i]->Close()) return Fail(i, streams_[i]->Error());
    }
    bool anyKept = false;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].kept.isEmpty()) continue;
        if (!KeepOldFile(i)) return Fail(i, SystemReason(errno));
        anyKept = true;
    }
    // Every old file has its second name on the disk before any target changes.
    if (anyKept && !SyncFolders(folder_, entries_, Step::SyncKept)) return Fail(0, SystemReason(errno));
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const JournalEntry& entry = entries_[i];
        const QByteArray temporary = entry.Beside(entry.temporary);
        if (TakeStep(Step::PutInPlace, entry.name, [&] {
                return std::rename(temporary.constData(), entry.target.constData());
            }) != 0) {
            return Fail(i, SystemReason(errno));
        }
        progress_[i].created = false;
        progress_[i].placed = true;
    }
    // Only new files that stand on the disk make the commit a success.
    if (!SyncFolders(folder_, entries_, Step::SyncPlaced)) return Fail(0, SystemReason(errno));
    recorded_ = false;
    // The new files stand: a kept file that cannot be removed stays named in
    // the record, for the next start to remove. Nothing here needs to reach
    // the disk: a record found again after a crash is settled the same way.
    std::vector<LeftFile> left;
    Complete(entries_, left);
    if (left.empty()) journal_->Remove();
    return std::nullopt;
}

// Keeps the old file under its hidden name: a second link, or where the
// file system refuses one, the file itself moved aside, never over a file
// that took the name meanwhile.
bool FileCommit::KeepOldFile(std::size_t index) {
    const JournalEntry& entry = entries_[index];
    const QByteArray kept = entry.Beside(entry.kept);
    if (TakeStep(Step::Link, entry.name, [&] {
            return ::linkat(AT_FDCWD, entry.target.constData(), AT_FDCWD, kept.constData(), 0);
        }) != 0 &&
        TakeStep(Step::MoveAside, entry.name, [&] { return RenameNoReplace(entry.target, kept); }) != 0) {
        return false;
    }
    progress_[index].kept = true;
    return true;
}

// Undoes every step taken and reports the failure of target `index`. The
// record goes only once nothing of the commit is left.
CommitFailure FileCommit::Fail(std::size_t index, QString reason) {
    const int error = errno;
    recorded_ = false;
    streams_.clear();
    CommitFailure failure = Refusal(index, std::move(reason));
    Undo(entries_, progress_, failure.left);
    SyncFolders(folder_, entries_, Step::SyncUndo);
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
    case CommitJournal::Lock::Foreign:
        found.outcome = InterruptedCommit::Outcome::Foreign;
        found.reason = ForeignRecordReason(journal.Path());
        return found;
    case CommitJournal::Lock::Failed:
        found.outcome = InterruptedCommit::Outcome::Unreadable;
        found.reason = SystemReason(journal.Error());
        return found;
    }
    found = SettleRecord(journal);
    if (found.outcome != InterruptedCommit::Outcome::Unreadable && found.left.empty() && journal.Remove())
        SyncFolder(folder);
    ForgetArmedFaults();
    return found;
}

}  // namespace fw
