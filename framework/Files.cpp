#include "framework/Files.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

QByteArray& folderOverride() {
    static QByteArray folder;
    return folder;
}

QByteArray& executableLink() {
    static QByteArray link;
    return link;
}

QString Quoted(const QByteArray& path) { return QLatin1Char('"') + DisplayPath(path) + QLatin1Char('"'); }

// The target of `link`, whatever its length, or nothing (errno set).
std::optional<QByteArray> ReadLink(const QByteArray& link) {
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlink(link.constData(), target.data(), size_t(target.size()));
        if (length < 0) return std::nullopt;
        // A target that fills the buffer may have been cut off: try a larger one.
        if (length < target.size()) return target.left(length);
        target.resize(target.size() * 2);
    }
}

// The executable's folder from the link the system keeps to it. The last
// part of the target is the executable (with " (deleted)" after it when the
// file was replaced since), so the folder is what comes before it.
QByteArray ExecutableFolder(QString* why) {
    const QByteArray link = executableLink().isEmpty() ? QByteArrayLiteral("/proc/self/exe") : executableLink();
    const std::optional<QByteArray> target = ReadLink(link);
    if (!target) {
        const int error = errno;
        if (why) *why = QStringLiteral("%1 could not be read: %2").arg(Quoted(link), qt_error_string(error));
        return {};
    }
    if (!target->startsWith('/')) {
        if (why) *why = QStringLiteral("%1 gives %2, which is not a full path").arg(Quoted(link), Quoted(*target));
        return {};
    }
    const qsizetype slash = target->lastIndexOf('/');
    return slash == 0 ? QByteArrayLiteral("/") : target->left(slash);
}

}  // namespace

QByteArray ApplicationFolder(QString* why) {
    const QByteArray& chosen = folderOverride();
    if (chosen.isEmpty()) return ExecutableFolder(why);
    if (!chosen.startsWith('/')) {
        if (why) *why = QStringLiteral("the folder %1 is not a full path").arg(Quoted(chosen));
        return {};
    }
    return chosen;
}

void SetApplicationFolder(const QByteArray& folder) { folderOverride() = folder; }
void SetApplicationFolder(const QString& folder) { SetApplicationFolder(QFile::encodeName(folder)); }

QString DisplayPath(const QByteArray& path) { return QDir::toNativeSeparators(QFile::decodeName(path)); }

long FileNameLimit(const QByteArray& folder) {
    const long limit = folder.isEmpty() ? -1 : ::pathconf(folder.constData(), _PC_NAME_MAX);
    return limit > 0 ? limit : 255;
}

std::optional<FolderItem> GetFolderItem(const QByteArray& folder, const QString& name) {
    if (folder.isEmpty() || name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0))) {
        return std::nullopt;
    }
    const QByteArray separator = folder.endsWith('/') ? QByteArray() : QByteArrayLiteral("/");
    return FolderItem(folder + separator + QFile::encodeName(name));
}

std::optional<FolderItem> GetFolderItem(const QString& name) { return GetFolderItem(ApplicationFolder(), name); }

bool FolderItem::Exists() const {
    struct stat st {};
    return ::stat(path_.constData(), &st) == 0;
}

namespace testing {
void SetExecutableLink(const QByteArray& link) { executableLink() = link; }
}  // namespace testing

}  // namespace fw
