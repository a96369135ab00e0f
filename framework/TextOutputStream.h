// An output file written whole and put in place of its target at once.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace fw {

class FolderItem;
class PairCommit;

// Writes text unchanged, in UTF-8, with no line-end conversion, to a new
// hidden file in the target's folder. Close() gets that file to the disk
// with the permissions the target will have: those of the file it replaces,
// or those the system gives any new file (0666 less the umask). Commit(), or
// CommitTogether() for several streams, then puts it in place of the target,
// so the old file stays whole until the new one is complete.
class TextOutputStream {
public:
    ~TextOutputStream();  // removes the temporary file unless it was put in place
    TextOutputStream(const TextOutputStream&) = delete;
    TextOutputStream& operator=(const TextOutputStream&) = delete;

    bool Write(const QString& text);
    bool Close();   // safe to call again; a failed Write makes it fail too
    bool Commit();  // this stream alone; see CommitTogether
    const QString& Path() const { return target_; }  // the target
    const QString& Error() const { return error_; }  // why the last step failed

private:
    friend class FolderItem;
    friend class PairCommit;
    TextOutputStream(QString target, QByteArray temporary, int fd, std::optional<unsigned> keptMode);
    void RemoveTemporary();
    bool WriteBytes(const QByteArray& bytes);

    QString target_;
    QByteArray temporary_;  // the written file's path; empty once put in place or removed
    int fd_ = -1;
    std::optional<unsigned> keptMode_;  // the replaced file's permissions, given on Close
    QString error_;
    bool closed_ = false;
};

}  // namespace fw
