#include "framework/files/CommitJournal.h"

#include "framework/files/FileSteps.h"
#include "framework/files/FileSystemCalls.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fw {
namespace {

// The record, line by line:
//   quillory3 commit
//   by <host> <boot> <pid> <start>   the process that wrote it
//   file <name> <kept or -> <temporary>  one line a target, names percent-encoded
//   begun                            the record is whole
//   undone                           added when the commit failed
// A file line of the version before this one has two more fields, the old
// file's size and time, which nothing reads any more.
constexpr char kHeader[] = "quillory3 commit";
constexpr char kBegun[] = "begun";
constexpr char kUndone[] = "undone";
constexpr qint64 kMostBytes = 1 << 20;  // a record is a few hundred bytes

QByteArray Field(const QByteArray& name) { return name.isEmpty() ? QByteArray("-") : name.toPercentEncoding(); }

QByteArray Unfield(const QByteArray& field) {
    return field == "-" ? QByteArray() : QByteArray::fromPercentEncoding(field);
}

// Writes all of `bytes` at `offset`: a record is too small to be written in
// parts but where the disk is full.
bool WriteAt(int fd, const QByteArray& bytes, off_t offset) {
    const ssize_t written = ::pwrite(fd, bytes.constData(), size_t(bytes.size()), offset);
    if (written >= 0 && written < bytes.size()) errno = ENOSPC;
    return written == bytes.size();
}

QByteArray ReadSmallFile(const char* path) {
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.read(4096).trimmed() : QByteArray();
}

// The start of process `pid`, in clock ticks after boot; 0 when unknown.
qint64 StartOf(qint64 pid) {
    const QByteArray stat = ReadSmallFile(QByteArray("/proc/" + QByteArray::number(pid) + "/stat").constData());
    // The fields after the command, which may hold blanks and ")": state is
    // the 3rd field of all, start time the 22nd.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 19 ? fields[19].toLongLong() : 0;
}

}  // namespace

QByteArray JournalEntry::Beside(const QByteArray& hidden) const { return FolderOfPath(target) + '/' + hidden; }

JournalWriter JournalWriter::Self() {
    // Read once a process: a forked child is a process of its own.
    static JournalWriter self;
    if (self.pid == ::getpid()) return self;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) self.host = host;
    self.boot = ReadSmallFile("/proc/sys/kernel/random/boot_id");
    self.pid = ::getpid();
    self.start = StartOf(self.pid);
    return self;
}

bool JournalWriter::StillRuns() const {
    const JournalWriter self = Self();
    return host == self.host && boot == self.boot && pid > 0 && pid != self.pid && start != 0 &&
           start == StartOf(pid);
}

CommitJournal::CommitJournal(const QByteArray& folder) : folder_(folder), path_(folder + '/' + kName) {}

CommitJournal::~CommitJournal() { Close(); }

bool CommitJournal::Failed() {
    error_ = errno;
    return false;
}

// Only a file of this user's is ever read or written as the record: a record
// planted by someone else must not steer what the commit changes.
CommitJournal::Opened CommitJournal::Open(bool create) {
    const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (create ? O_CREAT : 0);
    fd_ = ::open(path_.constData(), flags, 0600);
    int error = errno;
    struct stat st {};
    const bool found = fd_ >= 0 ? ::fstat(fd_, &st) == 0 : ::lstat(path_.constData(), &st) == 0;
    const bool file = found && S_ISREG(st.st_mode);
    if (fd_ >= 0 && file && st.st_uid == ::geteuid()) return Opened::Ok;
    if (fd_ >= 0) error = file ? error : EINVAL;  // a FIFO, a device: no record
    Close();
    if (file && st.st_uid != ::geteuid()) return Opened::Foreign;
    if (error == ENOENT && !create) return Opened::Absent;
    error_ = error;
    return Opened::Failed;
}

void CommitJournal::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

CommitJournal::Lock CommitJournal::Acquire(bool forCommit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + LockTimeout();
    // Whether to try again: only a commit waits, and only until the deadline.
    const auto wait = [&] {
        if (!forCommit || Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return true;
    };
    for (;;) {
        switch (Open(forCommit)) {
        case Opened::Ok: break;
        case Opened::Absent: return Lock::Absent;
        // Another user's commit removes its record when it ends.
        case Opened::Foreign:
            if (wait()) continue;
            return Lock::Foreign;
        case Opened::Failed: return Lock::Failed;
        }
        int result = 0;
        while ((result = TakeStep(Step::Lock, {}, [this] { return ::flock(fd_, LOCK_EX | LOCK_NB); })) != 0 &&
               errno == EINTR) {
        }
        // A file system without locks (ENOLCK, EOPNOTSUPP, ENOSYS, EINVAL)
        // goes on without one; then a record whose writer still runs here
        // is its commit's.
        bool busy = result != 0 && errno == EWOULDBLOCK;
        Recorded recorded;
        if (result != 0 && !busy) busy = Read(recorded) != State::Unreadable && recorded.writer.StillRuns();
        if (busy) {
            Close();
            if (wait()) continue;
            return Lock::Busy;
        }
        // The previous holder removes the record before it lets go: then the
        // lock is on a file nobody else will open again.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd_, &held) == 0 && ::lstat(path_.constData(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return Lock::Held;
        Close();
    }
}

CommitJournal::State CommitJournal::Read(Recorded& recorded) {
    recorded = {};
    const auto unreadable = [this, &recorded](int error) {
        recorded.entries.clear();
        error_ = error;
        return State::Unreadable;
    };
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return unreadable(errno);
    if (st.st_size > kMostBytes) return unreadable(EFBIG);
    QByteArray bytes(qsizetype(st.st_size), '\0');
    const ssize_t got = ::pread(fd_, bytes.data(), size_t(bytes.size()), 0);
    if (got < 0) return unreadable(errno);
    bytes.truncate(got);
    // Only whole lines count: a line cut off was being written when the
    // program stopped.
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    if (lines.size() >= 2) {
        const QList<QByteArray> by = lines[1].split(' ');
        if (by.size() == 5 && by[0] == "by")
            recorded.writer = {Unfield(by[1]), Unfield(by[2]), by[3].toLongLong(), by[4].toLongLong()};
    }
    recorded.undone = !lines.isEmpty() && lines.last() == kUndone;
    if (recorded.undone) lines.removeLast();
    const qsizetype begun = lines.indexOf(QByteArray(kBegun));
    if (begun < 0) return State::Unfinished;
    if (lines.first() != kHeader || begun < 3 || begun != lines.size() - 1 || !lines[1].startsWith("by "))
        return unreadable(EBADMSG);
    for (qsizetype i = 2; i < begun; ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        if ((fields.size() != 4 && fields.size() != 6) || fields[0] != "file") return unreadable(EBADMSG);
        recorded.entries.push_back({Unfield(fields[1]), Unfield(fields[2]), Unfield(fields[3]), {}});
    }
    return State::Begun;
}

bool CommitJournal::Write(const std::vector<JournalEntry>& entries) {
    const JournalWriter self = JournalWriter::Self();
    QByteArray bytes = QByteArray(kHeader) + '\n';
    bytes += "by " + Field(self.host) + ' ' + Field(self.boot) + ' ' + QByteArray::number(self.pid) + ' ' +
             QByteArray::number(self.start) + '\n';
    for (const JournalEntry& entry : entries)
        bytes += "file " + Field(entry.name) + ' ' + Field(entry.kept) + ' ' + Field(entry.temporary) + '\n';
    bytes += QByteArray(kBegun) + '\n';
    // Whatever an earlier record held goes: only this commit's lines count.
    const int result = TakeStep(Step::WriteJournal, {}, [&] {
        if (::ftruncate(fd_, 0) != 0 || !WriteAt(fd_, bytes, 0) || ::fdatasync(fd_) != 0) return -1;
        return SyncFolder(folder_) ? 0 : -1;
    });
    return result == 0 || Failed();
}

bool CommitJournal::MarkUndone() {
    struct stat st {};
    const int result = TakeStep(Step::MarkUndone, {}, [&] {
        if (::fstat(fd_, &st) != 0 || !WriteAt(fd_, QByteArray(kUndone) + '\n', st.st_size)) return -1;
        return ::fdatasync(fd_);
    });
    return result == 0 || Failed();
}

bool CommitJournal::Remove() {
    if (TakeStep(Step::RemoveJournal, {}, [&] { return ::unlink(path_.constData()); }) != 0) return Failed();
    // Nobody opens the removed record again, so its lock can go now; some
    // file systems (FUSE) keep a removed file that is still open under a
    // hidden name until it is closed.
    Close();
    return true;
}

}  // namespace fw
