#include "framework/CommitJournal.h"

#include "framework/FileSteps.h"
#include "framework/FileSystemCalls.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fw {
namespace {

// The record, line by line:
//   quillory3 commit
//   file <named> <target> <kept or -> <temporary>    one line a target, fields percent-encoded
//   begun                                           the record is whole
//   placed                                          added once every new file is in place
constexpr char kHeader[] = "quillory3 commit";
constexpr char kBegun[] = "begun";
constexpr char kPlaced[] = "placed\n";
constexpr qint64 kMostBytes = 1 << 20;  // a record is a few hundred bytes

QByteArray Field(const QByteArray& path) { return path.isEmpty() ? QByteArray("-") : path.toPercentEncoding("/"); }

QByteArray Unfield(const QByteArray& field) {
    return field == "-" ? QByteArray() : QByteArray::fromPercentEncoding(field);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Writes all of `bytes` at `offset`.
bool WriteAt(int fd, const QByteArray& bytes, off_t offset) {
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::pwrite(fd, at, size_t(left), offset);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        at += written;
        left -= written;
        offset += written;
    }
    return true;
}

bool Exists(const QByteArray& path, struct stat* st = nullptr) {
    struct stat ignored {};
    return ::lstat(path.constData(), st ? st : &ignored) == 0;
}

QString Quoted(const QByteArray& path) { return QLatin1Char('"') + QFile::decodeName(path) + QLatin1Char('"'); }

}  // namespace

CommitJournal::CommitJournal(const QByteArray& folder) : folder_(folder), path_(folder + '/' + kName) {}

CommitJournal::~CommitJournal() {
    if (fd_ >= 0) ::close(fd_);
}

bool CommitJournal::Failed() {
    error_ = errno;
    return false;
}

CommitJournal::Lock CommitJournal::Acquire(bool create) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + LockTimeout();
    for (;;) {
        fd_ = ::open(path_.constData(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
        if (fd_ < 0) {
            if (!create && errno == ENOENT) return Lock::Absent;
            Failed();
            return Lock::Failed;
        }
        while (TakeStep(Step::Lock, {}, [this] { return ::flock(fd_, LOCK_EX | LOCK_NB); }) != 0) {
            const int error = errno;
            if (error == EINTR) continue;
            // A file system without locks (ENOLCK, EOPNOTSUPP, ENOSYS,
            // EINVAL): go on without one.
            if (error != EWOULDBLOCK) return Lock::Held;
            if (Clock::now() >= deadline) {
                ::close(fd_);
                fd_ = -1;
                return Lock::Busy;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // The previous holder removes the record before it lets go: then the
        // lock is on a file nobody else will open again.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd_, &held) == 0 && ::stat(path_.constData(), &named) == 0 && SameFile(held, named))
            return Lock::Held;
        ::close(fd_);
        fd_ = -1;
    }
}

CommitJournal::State CommitJournal::Read(std::vector<JournalEntry>& entries) {
    entries.clear();
    struct stat st {};
    const auto unreadable = [this, &entries](int error) {
        entries.clear();
        error_ = error;
        return State::Unreadable;
    };
    if (::fstat(fd_, &st) != 0) return unreadable(errno);
    if (st.st_size > kMostBytes) return unreadable(EFBIG);
    QByteArray bytes(qsizetype(st.st_size), '\0');
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd_, bytes.data() + got, size_t(bytes.size() - got), got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return unreadable(errno);
        if (n == 0) break;
        got += n;
    }
    bytes.truncate(got);
    if (bytes.isEmpty()) return State::Empty;
    // Only whole lines count: a line cut off was being written when the
    // program stopped.
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    const qsizetype begun = lines.indexOf(QByteArray(kBegun));
    if (begun < 0) return State::Unfinished;
    if (lines.first() != kHeader || begun < 2) return unreadable(EBADMSG);
    for (qsizetype i = 1; i < begun; ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        if (fields.size() != 5 || fields[0] != "file") return unreadable(EBADMSG);
        JournalEntry entry{Unfield(fields[1]), Unfield(fields[2]), Unfield(fields[3]), Unfield(fields[4])};
        if (entry.named.isEmpty() || entry.target.isEmpty() || entry.temporary.isEmpty()) return unreadable(EBADMSG);
        entries.push_back(std::move(entry));
    }
    const qsizetype after = lines.size() - begun - 1;
    if (after == 0) return State::Begun;
    if (after == 1 && lines.last() + '\n' == kPlaced) return State::Placed;
    return unreadable(EBADMSG);
}

bool CommitJournal::Write(const std::vector<JournalEntry>& entries) {
    QByteArray bytes = QByteArray(kHeader) + '\n';
    for (const JournalEntry& entry : entries) {
        bytes += "file " + Field(entry.named) + ' ' + Field(entry.target) + ' ' + Field(entry.kept) + ' ' +
                 Field(entry.temporary) + '\n';
    }
    bytes += QByteArray(kBegun) + '\n';
    const int result = TakeStep(Step::WriteJournal, {}, [&] {
        if (::ftruncate(fd_, 0) != 0 || !WriteAt(fd_, bytes, 0) || ::fdatasync(fd_) != 0) return -1;
        SyncFolder(folder_);
        return 0;
    });
    return result == 0 || Failed();
}

bool CommitJournal::MarkPlaced() {
    const int result = TakeStep(Step::MarkPlaced, {}, [&] {
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !WriteAt(fd_, kPlaced, st.st_size)) return -1;
        return ::fdatasync(fd_);
    });
    return result == 0 || Failed();
}

bool CommitJournal::Remove() {
    if (TakeStep(Step::RemoveJournal, {}, [&] { return ::unlink(path_.constData()); }) != 0) return Failed();
    // Nobody opens the removed record again, so its lock can go now; some
    // file systems (FUSE) keep a removed file that is still open under a
    // hidden name until it is closed.
    ::close(fd_);
    fd_ = -1;
    return true;
}

Settled Undo(const std::vector<JournalEntry>& entries) {
    Settled settled;
    // Each text names the target (%1), the name a file is left under (%2)
    // and the system's reason (%3).
    const auto leave = [&settled](const char* what, const JournalEntry& entry, const QByteArray& name) {
        settled.left << QString::fromLatin1(what).arg(Quoted(entry.named), Quoted(name), SystemReason(errno));
    };
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const QByteArray file = NameOfPath(entry->named);
        struct stat kept {};
        struct stat now {};
        if (!entry->kept.isEmpty() && Exists(entry->kept, &kept)) {
            // Kept by a second link, the old file still stands at the target:
            // renaming one name of a file onto another does nothing, so the
            // kept name is removed instead.
            if (Exists(entry->target, &now) && SameFile(kept, now)) {
                if (TakeStep(Step::RemoveKept, file, [&] { return ::unlink(entry->kept.constData()); }) != 0)
                    leave("the old file of %1 is also left as %2 (%3)", *entry, entry->kept);
            } else if (TakeStep(Step::PutBack, file, [&] {
                           return std::rename(entry->kept.constData(), entry->target.constData());
                       }) != 0) {
                leave("the old file of %1 could not be put back and is kept as %2 (%3)", *entry, entry->kept);
            }
        } else if (entry->kept.isEmpty() && !Exists(entry->temporary) && Exists(entry->target)) {
            // The target had no file, and the new one already took its place.
            if (TakeStep(Step::RemoveNew, file, [&] { return ::unlink(entry->target.constData()); }) != 0)
                leave("the new file %1 could not be removed and is left as %2 (%3)", *entry, entry->target);
        }
        if (Exists(entry->temporary) &&
            TakeStep(Step::RemoveNew, file, [&] { return ::unlink(entry->temporary.constData()); }) != 0) {
            leave("the unfinished new file of %1 is left as %2 (%3)", *entry, entry->temporary);
        }
    }
    return settled;
}

Settled Complete(const std::vector<JournalEntry>& entries) {
    Settled settled;
    for (const JournalEntry& entry : entries) {
        const QByteArray file = NameOfPath(entry.named);
        for (const QByteArray& hidden : {entry.kept, entry.temporary}) {
            if (hidden.isEmpty() || !Exists(hidden)) continue;
            if (TakeStep(hidden == entry.kept ? Step::RemoveKept : Step::RemoveNew, file,
                         [&] { return ::unlink(hidden.constData()); }) != 0) {
                const QString what = hidden == entry.kept ? QStringLiteral("the old file of %1 is left as %2 (%3)")
                                                          : QStringLiteral("a copy of %1 is left as %2 (%3)");
                settled.left << what.arg(Quoted(entry.named), Quoted(hidden), SystemReason(errno));
            }
        }
    }
    return settled;
}

void SyncFolders(const QByteArray& journalFolder, const std::vector<JournalEntry>& entries) {
    std::set<QByteArray> folders{journalFolder};
    for (const JournalEntry& entry : entries) folders.insert(FolderOfPath(entry.target));
    for (const QByteArray& folder : folders) SyncFolder(folder);
}

}  // namespace fw
