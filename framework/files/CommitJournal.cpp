#include "framework/files/CommitJournal.h"

#include "framework/files/FileSteps.h"
#include "framework/files/FileSystemCalls.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace fw {
namespace {

// The record, line by line:
//   quillory3 commit
//   by <host> <boot> <pid> <start>       the process that wrote it
//   file <name> <kept or -> <temporary>  none (a claim), or the page's line then the answers'; names percent-encoded
//   begun                                the record is whole
//   undone                               where the commit failed
// A file line of the version before this one has two more fields, the old
// file's size and time, which nothing reads any more.
constexpr char kHeader[] = "quillory3 commit";
constexpr char kBegun[] = "begun";
constexpr char kUndone[] = "undone";
constexpr qint64 kMostBytes = 1 << 16;  // a record is a few hundred bytes
// A hidden version of the record is named as the record, then what
// HiddenNameFor gives for a name of this length: a dot and eight letters.
constexpr char kHiddenPattern[] = "123456789";

// Writes all of `bytes` at the start of a new file: a record is too small to
// be written in parts but where the disk is full.
bool WriteAll(int fd, const QByteArray& bytes) {
    const ssize_t written = ::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0);
    if (written >= 0 && written < bytes.size()) errno = ENOSPC;
    return written == bytes.size();
}

QByteArray Field(const QByteArray& name) { return name.isEmpty() ? QByteArray("-") : name.toPercentEncoding(); }

QByteArray Unfield(const QByteArray& field) {
    return field == "-" ? QByteArray() : QByteArray::fromPercentEncoding(field);
}

bool IsHiddenRecordName(const QByteArray& name) {
    const QByteArray record(CommitJournal::kName);
    return name.startsWith(record) && IsHiddenNameFor(name.mid(record.size()), kHiddenPattern);
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

QByteArray RecordBytes(const std::vector<JournalEntry>& entries) {
    const JournalWriter self = JournalWriter::Self();
    QByteArray bytes = QByteArray(kHeader) + '\n';
    bytes += "by " + Field(self.host) + ' ' + Field(self.boot) + ' ' + QByteArray::number(self.pid) + ' ' +
             QByteArray::number(self.start) + '\n';
    for (const JournalEntry& entry : entries)
        bytes += "file " + Field(entry.name) + ' ' + Field(entry.kept) + ' ' + Field(entry.temporary) + '\n';
    return bytes + kBegun + '\n';
}

// Reads a record as this program writes it, whole; false for anything else.
bool Parse(const QByteArray& bytes, Recorded& recorded) {
    recorded = {};
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.takeLast() != "" || lines.size() < 3 || lines[0] != kHeader) return false;
    recorded.undone = lines.last() == kUndone;
    if (recorded.undone) lines.removeLast();
    const QList<QByteArray> by = lines[1].split(' ');
    if (lines.takeLast() != kBegun || by.size() != 5 || by[0] != "by") return false;
    recorded.writer = {Unfield(by[1]), Unfield(by[2]), by[3].toLongLong(), by[4].toLongLong()};
    std::vector<QByteArray> names;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        if ((fields.size() != 4 && fields.size() != 6) || fields[0] != "file") return false;
        recorded.entries.push_back({Unfield(fields[1]), Unfield(fields[2]), Unfield(fields[3]), {}});
        names.push_back(recorded.entries.back().name);
    }
    return names.empty() || IsPageAndAnswers(names);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Locks the open file; where the file system cannot lock files (ENOLCK,
// EOPNOTSUPP, ENOSYS, EINVAL) the program goes on without. False only where
// another process holds the lock.
bool LockFile(int fd, bool& locked) {
    int result = 0;
    while (
        (result = TakeStep(Step::Lock, {}, [fd] { return ::flock(fd, LOCK_EX | LOCK_NB); })) != 0 && errno == EINTR) {
    }
    locked = result == 0;
    return result == 0 || errno != EWOULDBLOCK;
}

}  // namespace

bool IsPageAndAnswers(std::span<const QByteArray> names) {
    if (names.size() != 2 || !names[0].endsWith(".html")) return false;
    const QByteArray title = names[0].chopped(5);
    return !title.isEmpty() && IsBareName(names[0]) && names[1] == title + ".js";
}

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
    return host == self.host && boot == self.boot && pid > 0 && pid != self.pid && start != 0 && start == StartOf(pid);
}

CommitJournal::CommitJournal(const QByteArray& folder) : folder_(folder), path_(folder + '/' + kName) {}

CommitJournal::~CommitJournal() {
    if (fd_ >= 0) ::close(fd_);
    if (claimFd_ < 0) return;
    ::unlink(claim_.constData());  // never named: nobody else knows it
    ::close(claimFd_);
}

bool CommitJournal::Failed() {
    error_ = errno;
    return false;
}

QString CommitJournal::Reason() const {
    return error_ == kNoRecord ? QStringLiteral("it is not a record that this program writes") : SystemReason(error_);
}

// Where the file system gives a file an owner other than the user who
// creates it (FAT, NTFS or a CIFS share mounted with uid=, NFS squashing
// every user), owners cannot tell whose a record is: every record there is
// the program's own. A hidden file made for the test tells.
bool CommitJournal::OwnedHere(const struct stat& st) {
    if (FileOwner(st) == ::geteuid()) return true;
    if (ownersTold_ < 0) {
        QByteArray probe;
        const int fd = CreateHidden(probe);
        struct stat made {};
        ownersTold_ = fd < 0 || ::fstat(fd, &made) != 0 || FileOwner(made) == ::geteuid();
        if (fd >= 0) {
            ::unlink(probe.constData());
            ::close(fd);
        }
    }
    return !ownersTold_;
}

int CommitJournal::CreateHidden(QByteArray& hidden) {
    for (int tries = 0; tries < 100; ++tries) {
        hidden = path_ + HiddenNameFor(kHiddenPattern);
        const int fd = ::open(hidden.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Opens the file at `path` as a record. It is one only where it is a file of
// the user's own (as far as the file system tells owners apart), whole as
// this program writes it, and has no other name than `path` (or `twin`);
// Free where no running process holds it, which leaves it open and locked
// as `fd`.
CommitJournal::Found CommitJournal::Open(const QByteArray& path, int& fd, const QByteArray& twin) {
    fd = -1;
    struct stat named {};
    struct stat st {};
    if (::lstat(path.constData(), &named) != 0) return errno == ENOENT ? Found::Absent : (Failed(), Found::Unusable);
    if (S_ISREG(named.st_mode) && !OwnedHere(named)) return Found::Foreign;
    // A link is never followed, and nothing but a plain file is opened.
    error_ = S_ISLNK(named.st_mode) ? ELOOP : kNoRecord;
    if (!S_ISREG(named.st_mode)) return Found::Unusable;
    fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? Found::Absent : (Failed(), Found::Unusable);
    bool locked = false;
    QByteArray bytes(kMostBytes + 1, '\0');
    const ssize_t got = ::pread(fd, bytes.data(), size_t(bytes.size()), 0);
    bytes.truncate(std::max<ssize_t>(got, 0));
    Recorded recorded;
    const bool whole = ::fstat(fd, &st) == 0 && SameFile(st, named) && Parse(bytes, recorded);
    Found found = Found::Unusable;
    if (!LockFile(fd, locked) || (!locked && whole && recorded.writer.StillRuns())) {
        found = Found::Busy;
    } else if (whole) {
        struct stat other {};
        const bool linked = st.st_nlink != 1 &&
                            !(st.st_nlink == 2 && ::lstat(twin.constData(), &other) == 0 && SameFile(st, other));
        if (!linked) found = Found::Free;
    }
    if (found == Found::Free) {
        bytes_ = bytes;
        return found;
    }
    ::close(fd);
    fd = -1;
    return found;
}

CommitJournal::Lock CommitJournal::Acquire(bool forCommit) {
    using Clock = std::chrono::steady_clock;
    if (deadline_ == Clock::time_point{}) deadline_ = Clock::now() + LockTimeout();
    // Whether to try again: only a commit waits, and only until the deadline.
    const auto wait = [&] {
        if (!forCommit || Clock::now() >= deadline_) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return true;
    };
    RemoveLeftRecords();
    for (;;) {
        switch (Open(path_, fd_, {})) {
        case Found::Free: return Lock::Held;
        case Found::Absent:
            if (!forCommit) return Lock::Absent;
            if (Claim(false)) return Lock::Claimed;
            if (error_ != EEXIST) return Lock::Failed;
            if (wait()) continue;  // another copy claimed it first
            return Lock::Busy;
        case Found::Busy:
            if (wait()) continue;
            return Lock::Busy;
        // Another user's commit removes its record when it ends.
        case Found::Foreign:
            if (wait()) continue;
            return Lock::Foreign;
        case Found::Unusable: return Lock::Failed;
        }
    }
}

// The claim names only its writer. It is written and locked once a commit;
// it needs no flush, for it changes nothing that a crash could leave. It
// takes the record's name where no file has it, or, `over` a settled earlier
// record that this journal holds, in its place.
bool CommitJournal::Claim(bool over) {
    bool locked = false;
    if (claimFd_ < 0) {
        claimBytes_ = RecordBytes({});
        claimFd_ = CreateHidden(claim_);
        if (claimFd_ < 0) return Failed();
        if (!WriteAll(claimFd_, claimBytes_) || !LockFile(claimFd_, locked)) {
            Failed();
            ::unlink(claim_.constData());
            ::close(claimFd_);
            claimFd_ = -1;
            return false;
        }
    }
    if (TakeStep(Step::NameJournal, {}, [this, over] {
            if (over) return IsHeld() ? std::rename(claim_.constData(), path_.constData()) : (errno = ESTALE, -1);
            if (Link(claim_, path_) == 0) return ::unlink(claim_.constData());
            return errno == EEXIST ? -1 : RenameNoReplace(claim_, path_);
        }) != 0)
        return Failed();
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(claimFd_, -1);
    bytes_ = claimBytes_;
    return true;
}

Recorded CommitJournal::Read() const {
    Recorded recorded;
    Parse(bytes_, recorded);  // whole: it was read as a record
    return recorded;
}

// Only the record this journal holds, still under the record's name, is
// replaced or removed.
bool CommitJournal::IsHeld() const {
    struct stat held {};
    struct stat named {};
    return fd_ >= 0 && ::fstat(fd_, &held) == 0 && ::lstat(path_.constData(), &named) == 0 && SameFile(held, named);
}

// Writes `bytes` whole under a hidden name, flushed and locked, then puts it
// over the held record in one step, and flushes the folder.
bool CommitJournal::Replace(const QByteArray& bytes, Step step) {
    QByteArray hidden;
    int fd = -1;
    bool locked = false;
    if (TakeStep(step, {},
                 [&] {
                     fd = CreateHidden(hidden);
                     return fd >= 0 && WriteAll(fd, bytes) && ::fdatasync(fd) == 0 ? 0 : -1;
                 }) != 0 ||
        !LockFile(fd, locked) ||
        TakeStep(Step::NameJournal, {}, [&] {
            if (!IsHeld()) return errno = ESTALE, -1;
            return std::rename(hidden.constData(), path_.constData()) == 0 && SyncFolder(folder_) ? 0 : -1;
        }) != 0) {
        Failed();
        if (fd >= 0) {
            ::unlink(hidden.constData());
            ::close(fd);
        }
        return false;
    }
    ::close(fd_);
    fd_ = fd;
    bytes_ = bytes;
    return true;
}

bool CommitJournal::Write(const std::vector<JournalEntry>& entries) {
    return Replace(RecordBytes(entries), Step::WriteJournal);
}

bool CommitJournal::MarkUndone() { return Replace(bytes_ + kUndone + '\n', Step::MarkUndone); }

bool CommitJournal::TakeOver() { return Claim(true); }

bool CommitJournal::Remove() {
    if (TakeStep(Step::RemoveJournal, {}, [&] {
            if (!IsHeld()) return errno = ESTALE, -1;
            return ::unlink(path_.constData());
        }) != 0)
        return Failed();
    // Nobody opens the removed record again, so its lock can go now; some
    // file systems (FUSE) keep a removed file that is still open under a
    // hidden name until it is closed.
    ::close(fd_);
    fd_ = -1;
    return true;
}

// A hidden version of the record that a crash left before it took the
// record's name changed nothing: it goes once its writer no longer runs. Its
// only other name may be the record's, where the crash came between the two.
void CommitJournal::RemoveLeftRecords() {
    DIR* folder = ::opendir(folder_.constData());
    if (!folder) return;
    while (const dirent* entry = ::readdir(folder)) {
        const QByteArray name(entry->d_name);
        const QByteArray path = folder_ + '/' + name;
        int fd = -1;
        if (!IsHiddenRecordName(name) || path == claim_ || Open(path, fd, path_) != Found::Free) continue;
        struct stat held {};
        struct stat named {};
        TakeStep(Step::RemoveJournal, {}, [&] {
            const bool same = ::fstat(fd, &held) == 0 && ::lstat(path.constData(), &named) == 0 &&
                              SameFile(held, named);
            return same ? ::unlink(path.constData()) : 0;
        });
        ::close(fd);
    }
    ::closedir(folder);
}

}  // namespace fw
