#include "framework/files/TextOutputStream.h"

#include "framework/files/FileSteps.h"
#include "framework/files/FileSystemCalls.h"

#include <QStringView>
#include <acl/libacl.h>
#include <algorithm>
#include <cerrno>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

// Gives the file open as `fd` exactly the access list of the file at `from`:
// its extended entries where it has them, and none where it has none, even
// when the folder's default access list gave the new file some.
int CopyAccessList(const QByteArray& from, int fd) {
    const acl_t acl = ::acl_get_file(from.constData(), ACL_TYPE_ACCESS);
    if (!acl) return -1;
    bool needed = ::acl_equiv_mode(acl, nullptr) == 1;
    if (!needed) {
        const acl_t inherited = ::acl_get_fd(fd);
        needed = inherited && ::acl_equiv_mode(inherited, nullptr) == 1;
        if (inherited) ::acl_free(inherited);
    }
    const int result = needed ? ::acl_set_fd(fd, acl) : 0;
    const int error = errno;
    ::acl_free(acl);
    errno = error;
    return result;
}

}  // namespace

TextOutputStream::TextOutputStream(QByteArray file, int fd, std::optional<Replaced> replaced)
    : file_(std::move(file)), fd_(fd), replaced_(std::move(replaced)) {}

TextOutputStream::~TextOutputStream() {
    if (fd_ >= 0) ::close(fd_);
}

bool TextOutputStream::Write(const QString& text) {
    if (!error_.isEmpty()) return false;
    if (fd_ < 0) {
        error_ = SystemReason(EBADF);
        return false;
    }
    // A piece at a time, so that a long text is never held a second time
    // whole. A piece never ends on the first half of a surrogate pair, so the
    // bytes are those of the whole text converted at once.
    constexpr qsizetype kPiece = 1 << 15;
    const QStringView all(text);
    for (qsizetype from = 0; from < all.size();) {
        qsizetype length = std::min(kPiece, all.size() - from);
        if (from + length < all.size() && all[from + length - 1].isHighSurrogate()) --length;
        if (!WriteBytes(all.sliced(from, length).toUtf8())) return false;
        from += length;
    }
    return true;
}

bool TextOutputStream::WriteBytes(const QByteArray& bytes) {
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, at, size_t(left));
        if (written < 0) {
            if (errno == EINTR) continue;
            error_ = SystemReason(errno);
            return false;
        }
        at += written;
        left -= written;
    }
    return true;
}

// Where the file system cannot hold them (FAT, exFAT, some network shares
// fail with ENOSYS, ENOTSUP, EOPNOTSUPP or EPERM), the new file goes without:
// only writing, syncing and putting the file in place decide a commit.
void TextOutputStream::TakeOver(const Replaced& replaced) {
    // The group first: changing it may clear the set-ID bits. The access
    // list next, then the permissions, which give those bits back and set
    // the list's mask as the old file had it.
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && st.st_gid != replaced.group)
        TakeStep(Step::SetGroup, file_, [&] { return ::fchown(fd_, uid_t(-1), replaced.group); });
    TakeStep(Step::SetAcl, file_, [&] { return CopyAccessList(replaced.path, fd_); });
    TakeStep(Step::SetMode, file_, [&] { return ::fchmod(fd_, replaced.mode); });
}

bool TextOutputStream::Close() {
    if (closed_) return error_.isEmpty();
    closed_ = true;
    if (error_.isEmpty() && replaced_) TakeOver(*replaced_);
    if (error_.isEmpty() && TakeStep(Step::SyncFile, file_, [&] { return ::fsync(fd_); }) != 0)
        error_ = SystemReason(errno);
    // The descriptor is gone after close() whatever it returns; an error
    // there still means the file may not hold what was written.
    if (::close(fd_) != 0 && error_.isEmpty()) error_ = SystemReason(errno);
    fd_ = -1;
    return error_.isEmpty();
}

}  // namespace fw
