// An output file written whole under a hidden name, for a FileCommit to put
// in place of its target.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

namespace fw {

class FileCommit;

// Writes text unchanged, in UTF-8, with no line-end conversion. Close() gives
// the file what the file it replaces had (permissions, group, access list;
// each as far as the file system can hold it) and gets it to the disk; a new
// file keeps what the system gives any new file (0666 less the umask, or the
// folder's default access list).
class TextOutputStream {
public:
    ~TextOutputStream();
    TextOutputStream(const TextOutputStream&) = delete;
    TextOutputStream& operator=(const TextOutputStream&) = delete;

    bool Write(const QString& text);
    bool Close();                                    // safe to call again; a failed Write makes it fail too
    const QString& Error() const { return error_; }  // why the last step failed

private:
    friend class FileCommit;
    // What the replaced file had, for the new one to take over.
    struct Replaced {
        QByteArray path;  // where it stands until the commit
        mode_t mode;      // permission bits
        gid_t group;
    };
    TextOutputStream(QByteArray file, int fd, std::optional<Replaced> replaced);
    bool WriteBytes(const QByteArray& bytes);
    void TakeOver(const Replaced& replaced);  // mode, group and access list, as far as the file system can

    QByteArray file_;  // the target's bare name, for the test seam
    int fd_ = -1;
    std::optional<Replaced> replaced_;
    QString error_;
    bool closed_ = false;
};

}  // namespace fw
