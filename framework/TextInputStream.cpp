#include "framework/TextInputStream.h"

#include "framework/Files.h"

#include <QFile>
#include <QStringDecoder>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

// Why a file of this kind is not read, or nothing when it is an ordinary file.
// Only a regular file is opened: opening a FIFO waits for a writer, and
// opening a device may do anything.
std::optional<QString> RefusalFor(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("it is a folder, not a file");
    if (!S_ISREG(mode)) return QStringLiteral("it is not a regular file");
    return std::nullopt;
}

}  // namespace

std::unique_ptr<TextInputStream> FolderItem::OpenAsTextFile(QString* error) const {
    const auto fail = [error](const QString& why) -> std::unique_ptr<TextInputStream> {
        if (error) *error = why;
        return nullptr;
    };
    struct stat st {};
    if (::stat(path_.constData(), &st) == 0) {
        if (auto refusal = RefusalFor(st.st_mode)) return fail(*refusal);
    }
    // Non-blocking, so that a file swapped for a FIFO since the check above
    // cannot hold the open; the descriptor is checked again below.
    const int fd = ::open(path_.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(qt_error_string(errno));
    const std::optional<QString> refusal = ::fstat(fd, &st) == 0 ? RefusalFor(st.st_mode)
                                                                 : std::optional<QString>(qt_error_string(errno));
    if (refusal) {
        ::close(fd);
        return fail(*refusal);
    }
    // A regular file: reads block as usual from here on.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    // The file is known by its descriptor alone: its name may not be text.
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file->errorString());
    }
    return std::make_unique<TextInputStream>(std::move(file));
}

TextInputStream::TextInputStream(std::unique_ptr<QFile> file) : file_(std::move(file)) {}
TextInputStream::~TextInputStream() = default;

QString TextInputStream::ReadLine() {
    // A line that decodes to at most maxLine_ characters holds at most four
    // bytes per character; beyond that it is too long, whatever it holds.
    const qint64 maxBytes = maxLine_ * 4;
    QByteArray line;
    bool tooLong = false;
    char c = 0;
    while (file_->getChar(&c)) {
        if (c == '\r') {
            char next = 0;
            if (file_->peek(&next, 1) == 1 && next == '\n') file_->getChar(&next);
            break;
        }
        if (c == '\n') break;
        if (line.size() >= maxBytes) {
            tooLong = true;
            break;
        }
        line.append(c);
    }
    if (file_->error() != QFileDevice::NoError) {
        error_ = file_->errorString();
        return {};
    }
    const QString tooLongReason = QStringLiteral("its first line is longer than %1 characters").arg(maxLine_);
    if (tooLong) {
        error_ = tooLongReason;
        return {};
    }
    // The decoder drops a byte order mark at the start of what it decodes.
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(line);
    if (decode.hasError()) {
        error_ = QStringLiteral("it is not UTF-8 text");
        return {};
    }
    if (text.size() > maxLine_) {
        error_ = tooLongReason;
        return {};
    }
    return text;
}

}  // namespace fw
