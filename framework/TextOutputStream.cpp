#include "framework/TextOutputStream.h"

#include "framework/CommitTogether.h"
#include "framework/FileSystemCalls.h"
#include "framework/Files.h"

#include <QFile>
#include <QStringView>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

std::unique_ptr<TextOutputStream> FolderItem::CreateTextFile(QString* error) const {
    const auto fail = [error](const QString& why) -> std::unique_ptr<TextOutputStream> {
        if (error) *error = why;
        return nullptr;
    };
    const QByteArray target = QFile::encodeName(path_);
    std::optional<unsigned> keptMode;
    struct stat st {};
    if (::stat(target.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return fail(FolderInTheWayReason());
        keptMode = st.st_mode & 07777;
    }
    const QByteArray folder = FolderOfPath(target);
    const QByteArray name = NameOfPath(target);
    // A file that replaces another starts private and takes the old file's
    // permissions on Close; a new one is created as the system creates any
    // file, 0666 less the umask (or the folder's default access list).
    const mode_t createMode = keptMode ? 0600 : 0666;
    for (int tries = 0; tries < kHiddenNameTries; ++tries) {
        const QByteArray temporary = folder + '/' + HiddenNameFor(name);
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
        if (fd >= 0) return std::unique_ptr<TextOutputStream>(new TextOutputStream(path_, temporary, fd, keptMode));
        if (errno != EEXIST && errno != EINTR) return fail(SystemReason(errno));
    }
    return fail(SystemReason(EEXIST));
}

TextOutputStream::TextOutputStream(QString target, QByteArray temporary, int fd, std::optional<unsigned> keptMode)
    : target_(std::move(target)), temporary_(std::move(temporary)), fd_(fd), keptMode_(keptMode) {}

TextOutputStream::~TextOutputStream() {
    if (fd_ >= 0) ::close(fd_);
    RemoveTemporary();
}

void TextOutputStream::RemoveTemporary() {
    if (temporary_.isEmpty()) return;
    ::unlink(temporary_.constData());
    temporary_.clear();
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

bool TextOutputStream::Close() {
    if (closed_) return error_.isEmpty();
    closed_ = true;
    if (error_.isEmpty() && ::fsync(fd_) != 0) error_ = SystemReason(errno);
    if (error_.isEmpty() && keptMode_ && ::fchmod(fd_, mode_t(*keptMode_)) != 0) error_ = SystemReason(errno);
    // The descriptor is gone after close() whatever it returns; an error
    // there still means the file may not hold what was written.
    if (::close(fd_) != 0 && error_.isEmpty()) error_ = SystemReason(errno);
    fd_ = -1;
    return error_.isEmpty();
}

bool TextOutputStream::Commit() {
    TextOutputStream* self[] = {this};
    if (const auto failure = CommitTogether(self)) {
        error_ = failure->reason;
        return false;
    }
    return true;
}

}  // namespace fw
