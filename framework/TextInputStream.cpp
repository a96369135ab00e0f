#include "framework/TextInputStream.h"

#include "framework/Files.h"

#include <QFile>
#include <QStringDecoder>

namespace fw {

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

}  // namespace fw
