#include "framework/files/FileSystemCalls.h"

#include "framework/files/FileSteps.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fw {

QString SystemReason(int error) {
    char buffer[256] = {};
    // The GNU strerror_r returns its text, which may or may not be the buffer.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

QByteArray HiddenNameFor(const QByteArray& target) {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr int kCharCount = sizeof kChars - 1;
    const qsizetype length = std::clamp<qsizetype>(target.size(), 2, 12);
    QByteArray name;
    do {
        name = QByteArray(1, '.');
        while (name.size() < length) name += kChars[QRandomGenerator::system()->bounded(kCharCount)];
    } while (name == target);
    return name;
}

QByteArray FolderOfPath(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArray(".");
    if (slash == 0) return QByteArray("/");
    return path.left(slash);
}

QByteArray NameOfPath(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

bool SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

namespace {

// The system's own rule for links in shared folders: in a folder that anyone
// may write and that has the sticky bit, a link is followed only by its
// owner, or when the folder's owner owns it too.
bool MayFollow(const QByteArray& link, const struct stat& st) {
    if (st.st_uid == ::geteuid()) return true;
    struct stat folder {};
    if (::stat(FolderOfPath(link).constData(), &folder) != 0) return false;
    if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH)) return true;
    return folder.st_uid == st.st_uid;
}

bool HasCapability(int capability) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    return (data[capability / 32].effective & (1u << (capability % 32))) != 0;
}

}  // namespace

QByteArray FollowLinks(const QByteArray& path) {
    constexpr int kMostLinks = 40;  // as the system follows them
    QByteArray file = path;
    for (int links = 0; links <= kMostLinks; ++links) {
        struct stat st {};
        if (::lstat(file.constData(), &st) != 0) return errno == ENOENT ? file : QByteArray();
        if (!S_ISLNK(st.st_mode)) return file;
        if (!MayFollow(file, st)) {
            errno = EACCES;
            return {};
        }
        QByteArray named(st.st_size > 0 ? qsizetype(st.st_size) + 1 : 4096, '\0');
        const ssize_t length = ::readlink(file.constData(), named.data(), size_t(named.size()));
        if (length < 0) return {};
        named.truncate(length);
        file = named.startsWith('/') ? named : FolderOfPath(file) + '/' + named;
    }
    errno = ELOOP;
    return {};
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to) {
    const int result = Seam().noReplaceRenames
                           ? (errno = EINVAL, -1)
                           : ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (result == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) return errno = EEXIST, -1;
    return std::rename(from.constData(), to.constData());
}

int Link(const QByteArray& from, const QByteArray& to) {
    if (Seam().noLinks) return errno = EPERM, -1;
    return ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), 0);
}

bool IsBareName(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

bool IsHiddenNameFor(const QByteArray& hidden, const QByteArray& target) {
    if (hidden.size() != std::clamp<qsizetype>(target.size(), 2, 12) || hidden == target || !hidden.startsWith('.'))
        return false;
    return std::all_of(hidden.begin() + 1, hidden.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

bool MayRemoveFrom(const struct stat& folder, const struct stat& file) {
    if (!(folder.st_mode & S_ISVTX)) return true;
    const uid_t user = ::geteuid();
    return user == file.st_uid || user == folder.st_uid || HasCapability(CAP_FOWNER);
}

}  // namespace fw
