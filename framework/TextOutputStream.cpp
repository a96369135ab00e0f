#include "framework/TextOutputStream.h"

#include "framework/Files.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace fw {

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
