#include "framework/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace fw {
namespace {

QString& folderOverride() {
    static QString folder;
    return folder;
}

}  // namespace

QString ApplicationFolder() {
    if (!folderOverride().isEmpty()) return folderOverride();
    return QCoreApplication::applicationDirPath();
}

void SetApplicationFolder(const QString& folder) { folderOverride() = folder; }

long FileNameLimit() {
    const long limit = ::pathconf(QFile::encodeName(ApplicationFolder()).constData(), _PC_NAME_MAX);
    return limit > 0 ? limit : 255;
}

std::optional<FolderItem> GetFolderItem(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0))) {
        return std::nullopt;
    }
    return FolderItem(QDir(ApplicationFolder()).filePath(name));
}

QString FolderItem::Name() const { return QFileInfo(path_).fileName(); }
bool FolderItem::Exists() const { return QFileInfo::exists(path_); }

}  // namespace fw
