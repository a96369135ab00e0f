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
// A hidden version of the record: its name, then a dot and eight letters (HiddenNameFor this).
constexpr char kHiddenPattern[] = "123456789";

// Writes a whole record into a new file: one too small to be written in parts but where the disk is full.
bool WriteAll(int fd, const QByteArray& bytes) {
    const ssize_t written = ::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0);
    if (written >= 0 && written < bytes.size()) errno = ENOSPC;
    return written == bytes.size();
}

QByteArray Field(const QByteArray& name) { return name.isEmpty() ? QByteArray("-") : name.toPercentEncoding(); }

QByteArray Unfield(const QByteArray& field) {
    return field == "-" ? QByteArray() : QByteArray::fromPercentEncoding(field);
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

// Reads a record as this program writes it, whole; nothing for anything else.
std::optional<Recorded> Parse(const QByteArray& bytes) {
    Recorded recorded;
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.takeLast() != "" || lines.size() < 3 || lines[0] != kHeader) return std::nullopt;
    recorded.undone = lines.last() == kUndone;
    if (recorded.undone) lines.removeLast();
    const QList<QByteArray> by = lines[1].split(' ');
    if (lines.takeLast() != kBegun || by.size() != 5 || by[0] != "by") return std::nullopt;
    recorded.writer = {Unfield(by[1]), Unfield(by[2]), by[3].toLongLong(), by[4].toLongLong()};
    std::vector<QByteArray> names;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        if ((fields.size() != 4 && fields.size() != 6) || fields[0] != "file") return std::nullopt;
        recorded.entries.push_back({Unfield(fields[1]), Unfield(fields[2]), Unfield(fields[3]), {}});
        names.push_back(recorded.entries.back().name);
    }
    return names.empty() || IsPageAndAnswers(names) ? std::optional(recorded) : std::nullopt;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether the file open as `fd` still has the name `path`.
bool Named(int fd, const QByteArray& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.constData(), &named) == 0 && SameFile(open, named);
}

// Locks the open file; where the file system cannot lock files (ENOLCK,
// EOPNOTSUPP, ENOSYS, EINVAL) the program goes on without. False only where
// another process holds the lock.
bool LockFile(int fd, bool& locked) {
    const auto lock = [fd] { return ::flock(fd, LOCK_EX | LOCK_NB); };
    int result = 0;
    while ((result = TakeStep(Step::Lock, {}, lock)) != 0 && errno == EINTR) continue;
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
}

bool CommitJournal::Failed() { return error_ = errno, false; }

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
        if (fd >= 0) ::unlink(probe.constData()), ::close(fd);
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
// Held where no running process holds it, which leaves it open and locked
// as `fd`.
CommitJournal::Lock CommitJournal::Open(const QByteArray& path, int& fd, const QByteArray& twin) {
    fd = -1;
    struct stat named {};
    struct stat st {};
    if (::lstat(path.constData(), &named) != 0) return errno == ENOENT ? Lock::Absent : (Failed(), Lock::Failed);
    if (S_ISREG(named.st_mode) && !OwnedHere(named)) return Lock::Foreign;
    // A link is never followed, and nothing but a plain file is opened.
    error_ = S_ISLNK(named.st_mode) ? ELOOP : kNoRecord;
    if (!S_ISREG(named.st_mode)) return Lock::Failed;
    fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? Lock::Absent : (Failed(), Lock::Failed);
    QByteArray bytes(kMostBytes + 1, '\0');
    bytes.truncate(std::max<ssize_t>(::pread(fd, bytes.data(), size_t(bytes.size()), 0), 0));
    const std::optional<Recorded> recorded = Parse(bytes);
    const bool whole = ::fstat(fd, &st) == 0 && SameFile(st, named) && recorded;
    bool locked = false;
    const bool lockable = LockFile(fd, locked);
    struct stat other {};
    const bool linked = st.st_nlink != 1 &&
                        !(st.st_nlink == 2 && ::lstat(twin.constData(), &other) == 0 && SameFile(st, other));
    // A record that its holder replaced or removed before it let go is tried again.
    Lock found = whole && !linked ? Lock::Held : Lock::Failed;
    if (!lockable || (locked && !Named(fd, path)) || (!locked && whole && recorded->writer.StillRuns()))
        found = Lock::Busy;
    if (found == Lock::Held) bytes_ = bytes;
    else ::close(std::exchange(fd, -1));
    return found;
}

CommitJournal::Lock CommitJournal::Acquire(bool forCommit) {
    using Clock = std::chrono::steady_clock;
    if (deadline_ == Clock::time_point{}) deadline_ = Clock::now() + Seam().lockTimeout;
    RemoveLeftRecords();
    for (;;) {
        Lock found = Open(path_, fd_, {});
        // Only a commit claims the folder, where no record stands.
        if (found == Lock::Absent && forCommit) {
            if (Put(RecordBytes({}), {})) return Lock::Claimed;
            if (error_ != EEXIST) return Lock::Failed;
            found = Lock::Busy;  // another copy claimed it first
        }
        // Only a commit waits, for a busy record and another user's, and only
        // until the deadline: another user's commit removes its record when
        // it ends.
        if ((found != Lock::Busy && found != Lock::Foreign) || !forCommit || Clock::now() >= deadline_) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

Recorded CommitJournal::Read() const { return Parse(bytes_).value(); }  // whole: it was read as a record

// Only the record this journal holds, still under the record's name, is
// replaced or removed.
bool CommitJournal::IsHeld() const { return fd_ >= 0 && Named(fd_, path_); }

// Writes `bytes` whole under a hidden name and locks it, then gives it the
// record's name in one step: the claim where no file has the name, any later
// version over the held record. Written `durably` by that step, it is
// flushed, and so is the folder once it has the name; the claim changes
// nothing a crash could leave, and needs no flush.
bool CommitJournal::Put(const QByteArray& bytes, std::optional<Step> durably) {
    const bool first = fd_ < 0;
    QByteArray hidden;
    int fd = -1;
    bool locked = false;
    const auto written = [&] {
        fd = CreateHidden(hidden);
        return fd >= 0 && WriteAll(fd, bytes) && (!durably || ::fdatasync(fd) == 0) ? 0 : -1;
    };
    const auto named = [&] {
        if (!first) return IsHeld() ? std::rename(hidden.constData(), path_.constData()) : (errno = ESTALE, -1);
        if (Link(hidden, path_) == 0) return ::unlink(hidden.constData()), 0;
        return errno == EEXIST ? -1 : RenameNoReplace(hidden, path_);
    };
    if ((durably ? TakeStep(*durably, {}, written) : written()) != 0 || !LockFile(fd, locked) ||
        TakeStep(Step::NameJournal, {}, named) != 0) {
        Failed();
        if (fd >= 0) ::unlink(hidden.constData()), ::close(fd);
        return false;
    }
    if (!first) ::close(fd_);
    fd_ = fd;
    bytes_ = bytes;
    return !durably || SyncFolder(folder_) || Failed();
}

bool CommitJournal::Write(const std::vector<JournalEntry>& entries) {
    return Put(RecordBytes(entries), Step::WriteJournal);
}

bool CommitJournal::MarkUndone() { return Put(bytes_ + kUndone + '\n', Step::MarkUndone); }

bool CommitJournal::TakeOver() { return Put(RecordBytes({}), {}); }

// Nobody opens the removed record again, so its lock can go now; some file
// systems (FUSE) keep a removed file that is still open under a hidden name
// until it is closed.
bool CommitJournal::Remove() {
    const auto removed = [this] { return IsHeld() ? ::unlink(path_.constData()) : (errno = ESTALE, -1); };
    if (TakeStep(Step::RemoveJournal, {}, removed) != 0) return Failed();
    ::close(std::exchange(fd_, -1));
    return true;
}

// A hidden version that a crash left before it took the record's name changed
// nothing: it goes once its writer no longer runs (a running writer locks it
// only once it is written). Its only other name may be the record's.
void CommitJournal::RemoveLeftRecords() {
    DIR* folder = ::opendir(folder_.constData());
    if (!folder) return;
    while (const dirent* entry = ::readdir(folder)) {
        const QByteArray name(entry->d_name), path = folder_ + '/' + name;
        int fd = -1;
        const bool hidden = name.startsWith(kName) && IsHiddenNameFor(name.mid(sizeof kName - 1), kHiddenPattern);
        if (!hidden || Open(path, fd, path_) != Lock::Held) continue;
        const bool left = Named(fd, path) && !Read().writer.StillRuns();
        TakeStep(Step::RemoveJournal, {}, [&] { return left ? ::unlink(path.constData()) : 0; });
        ::close(fd);
    }
    ::closedir(folder);
}

}  // namespace fw
