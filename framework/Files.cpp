#include "framework/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

std::optional<FolderItem> GetFolderItem(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0))) {
        return std::nullopt;
    }
    return FolderItem(QDir(ApplicationFolder()).filePath(name));
}

QString FolderItem::Name() const { return QFileInfo(path_).fileName(); }
bool FolderItem::Exists() const { return QFileInfo::exists(path_); }
bool FolderItem::IsDirectory() const { return QFileInfo(path_).isDir(); }

std::unique_ptr<TextInputStream> FolderItem::OpenAsTextFile(QString* error) const {
    if (IsDirectory()) {
        if (error) *error = QStringLiteral("it is a folder, not a file");
        return nullptr;
    }
    auto file = std::make_unique<QFile>(path_);
    if (!file->open(QIODevice::ReadOnly)) {
        if (error) *error = file->errorString();
        return nullptr;
    }
    return std::make_unique<TextInputStream>(std::move(file));
}

std::unique_ptr<TextOutputStream> FolderItem::CreateTextFile(QString* error) const {
    if (IsDirectory()) {
        if (error) *error = QStringLiteral("a folder of that name is in the way");
        return nullptr;
    }
    const QFileInfo info(path_);
    auto temp = std::make_unique<QTemporaryFile>(info.dir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    if (!temp->open()) {
        if (error) *error = temp->errorString();
        return nullptr;
    }
    return std::make_unique<TextOutputStream>(path_, std::move(temp));
}

TextInputStream::TextInputStream(std::unique_ptr<QFile> file) : file_(std::move(file)) {}
TextInputStream::~TextInputStream() = default;

bool TextInputStream::EndOfFile() const { return file_->atEnd(); }

QString TextInputStream::ReadLine() {
    const bool atStart = file_->pos() == 0;
    QByteArray line;
    char c = 0;
    while (file_->getChar(&c)) {
        if (c == '\r') {
            char next = 0;
            if (file_->peek(&next, 1) == 1 && next == '\n') file_->getChar(&next);
            break;
        }
        if (c == '\n') break;
        line.append(c);
        if (line.size() > maxLine_ * 4) break;  // cannot decode to fewer than this many characters
    }
    if (file_->error() != QFileDevice::NoError) {
        error_ = file_->errorString();
        return {};
    }
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    if (atStart && line.startsWith("\xEF\xBB\xBF")) line.remove(0, 3);
    QString text = decode(line);
    if (decode.hasError()) {
        error_ = QStringLiteral("it is not UTF-8 text");
        return {};
    }
    if (text.size() > maxLine_) {
        error_ = QStringLiteral("its first line is longer than %1 characters").arg(maxLine_);
        return {};
    }
    return text;
}

TextOutputStream::TextOutputStream(QString targetPath, std::unique_ptr<QTemporaryFile> temp)
    : target_(std::move(targetPath)), temp_(std::move(temp)) {}

TextOutputStream::~TextOutputStream() = default;  // an uncommitted temporary file removes itself

bool TextOutputStream::Write(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (temp_->write(bytes) != bytes.size()) {
        error_ = temp_->errorString();
        return false;
    }
    return true;
}

bool TextOutputStream::Close() {
    if (closed_) return error_.isEmpty();
    closed_ = true;
    if (!temp_->flush()) {
        error_ = temp_->errorString();
        return false;
    }
    temp_->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                          QFileDevice::ReadOther);
    temp_->close();
    if (temp_->error() != QFileDevice::NoError) {
        error_ = temp_->errorString();
        return false;
    }
    return true;
}

bool TextOutputStream::Commit() {
    if (!Close()) return false;
    const QByteArray from = QFile::encodeName(temp_->fileName());
    const QByteArray to = QFile::encodeName(target_);
    if (std::rename(from.constData(), to.constData()) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    temp_->setAutoRemove(false);
    return true;
}

}  // namespace fw
