#include "framework/FileSystemCalls.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace fw {

QString SystemReason(int error) {
    char buffer[256] = {};
    // The GNU strerror_r returns its text, which may or may not be the buffer.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

QString FolderInTheWayReason() { return QStringLiteral("a folder of that name is in the way"); }

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

}  // namespace fw
