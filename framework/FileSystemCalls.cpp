#include "framework/FileSystemCalls.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cstring>
#include <cerrno>
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

QString FolderInTheWayReason() { return QStringLiteral("a folder of that name is in the way"); }

QString FolderBusyReason() {
    return QStringLiteral("another copy of the program kept the folder busy for too long");
}

QByteArray HiddenNameFor(const QByteArray& target) {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr int kCharCount = sizeof kChars - 1;
    const qsizetype length = std::clamp<qsizetype>(target.size(), 2, 12);
    QByteArray name;
    do {
        name = QByteArray(1, '.');
        while (name.size() < length) name += kChars[QRandomGenerator::global()->bounded(kCharCount)];
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

void SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

QByteArray FollowLinks(const QByteArray& path) {
    constexpr int kMostLinks = 40;  // as the system follows them
    QByteArray file = path;
    for (int links = 0; links <= kMostLinks; ++links) {
        struct stat st {};
        if (::lstat(file.constData(), &st) != 0) return errno == ENOENT ? file : QByteArray();
        if (!S_ISLNK(st.st_mode)) return file;
        QByteArray named(st.st_size > 0 ? qsizetype(st.st_size) + 1 : 4096, '\0');
        const ssize_t length = ::readlink(file.constData(), named.data(), size_t(named.size()));
        if (length < 0) return {};
        named.truncate(length);
        file = named.startsWith('/') ? named : FolderOfPath(file) + '/' + named;
    }
    errno = ELOOP;
    return {};
}

namespace {

bool HasCapability(int capability) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    return (data[capability / 32].effective & (1u << (capability % 32))) != 0;
}

}  // namespace

bool MayRemoveFrom(const struct stat& folder, const struct stat& file) {
    if (!(folder.st_mode & S_ISVTX)) return true;
    const uid_t user = ::geteuid();
    return user == file.st_uid || user == folder.st_uid || HasCapability(CAP_FOWNER);
}

}  // namespace fw
