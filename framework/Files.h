// Files beside the application: preference files read line by line, output
// files replaced atomically.
#pragma once

#include <QString>
#include <memory>
#include <optional>

class QFile;
class QTemporaryFile;

namespace fw {

// The folder that holds the executable; a test may point it elsewhere.
QString ApplicationFolder();
void SetApplicationFolder(const QString& folder);  // empty: back to the executable's folder

// Reads UTF-8 text line by line; a line ends with CR, LF or CRLF.
class TextInputStream {
public:
    explicit TextInputStream(std::unique_ptr<QFile> file);
    ~TextInputStream();
    // The next line without its line end. On failure returns the empty text
    // and Error() says why: the file could not be read, the line is longer
    // than the limit, or it is not valid UTF-8.
    QString ReadLine();
    bool EndOfFile() const;
    const QString& Error() const { return error_; }
    void SetMaxLineLength(qint64 characters) { maxLine_ = characters; }

private:
    std::unique_ptr<QFile> file_;
    QString error_;
    qint64 maxLine_ = 1 << 20;
};

// Writes text unchanged, in UTF-8, with no line-end conversion, to a
// temporary file in the target's folder. Close() completes that file;
// Commit() then puts it in place of the target in one rename, so the old
// file stays whole until the new one is complete.
class TextOutputStream {
public:
    TextOutputStream(QString targetPath, std::unique_ptr<QTemporaryFile> temp);
    ~TextOutputStream();  // drops the temporary file unless committed
    bool Write(const QString& text);
    bool Close();
    bool Commit();
    const QString& Error() const { return error_; }

private:
    QString target_;
    std::unique_ptr<QTemporaryFile> temp_;
    QString error_;
    bool closed_ = false;
};

class FolderItem {
public:
    explicit FolderItem(QString path) : path_(std::move(path)) {}
    QString Name() const;
    const QString& Path() const { return path_; }
    bool Exists() const;
    bool IsDirectory() const;
    // nullptr when the file cannot be opened; error then says why.
    std::unique_ptr<TextInputStream> OpenAsTextFile(QString* error = nullptr) const;
    // A stream that will replace this file on Commit(); nullptr when no
    // temporary file can be made in the folder; error then says why.
    std::unique_ptr<TextOutputStream> CreateTextFile(QString* error = nullptr) const;

private:
    QString path_;
};

// The file of that bare name in the application's folder, or nothing when
// the name cannot denote one there (empty, a path separator, a NUL, "." or "..").
std::optional<FolderItem> GetFolderItem(const QString& name);

}  // namespace fw
