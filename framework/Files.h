// Files beside the application: preference files read line by line, output
// files replaced whole and together (FileCommit).
//
// The folder is named by its bytes, as the system gives them: a name that is
// not UTF-8 (an old Latin-1 archive, a FAT stick mounted with another
// character set) would not survive a round trip through text. Text is made
// of it only for messages.
#pragma once

#include "framework/TextInputStream.h"
#include "framework/files/FileCommit.h"
#include "framework/files/TextOutputStream.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace fw {

// The folder that holds the executable: an absolute path, as bytes. Empty
// when the program cannot tell (no /proc, the link unreadable or not a full
// path); `why` then says what went wrong. Nothing is ever read or written
// relative to the working directory instead.
QByteArray ApplicationFolder(QString* why = nullptr);
// A test may point the folder elsewhere; empty: back to the executable's folder.
void SetApplicationFolder(const QByteArray& folder);
void SetApplicationFolder(const QString& folder);
// A path as a message shows it; bytes that are not UTF-8 become U+FFFD.
QString DisplayPath(const QByteArray& path);
// The longest file name, in bytes, that `folder` can hold (255 when the
// system does not say).
long FileNameLimit(const QByteArray& folder = ApplicationFolder());

// A file named by the bytes of its absolute path.
class FolderItem {
public:
    explicit FolderItem(QByteArray path) : path_(std::move(path)) {}
    const QByteArray& Path() const { return path_; }
    QString DisplayPath() const { return fw::DisplayPath(path_); }
    bool Exists() const;
    // nullptr when the file cannot be opened; error then says why.
    std::unique_ptr<TextInputStream> OpenAsTextFile(QString* error = nullptr) const;

private:
    QByteArray path_;
};

// The file of that bare name in `folder`, or nothing when the folder is
// unknown (empty) or the name cannot denote a file there (empty, a path
// separator, a NUL, "." or "..").
std::optional<FolderItem> GetFolderItem(const QByteArray& folder, const QString& name);
// The same in the application's folder.
std::optional<FolderItem> GetFolderItem(const QString& name);

namespace testing {
// The link read to find the executable, instead of /proc/self/exe; empty:
// /proc/self/exe again. A test makes the lookup fail, or find a folder of
// its own, through the same code as a real start.
void SetExecutableLink(const QByteArray& link);
}  // namespace testing

}  // namespace fw
