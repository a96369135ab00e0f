// Files beside the application: preference files read line by line, output
// files replaced whole and together (FileCommit).
#pragma once

#include "framework/files/FileCommit.h"
#include "framework/TextInputStream.h"
#include "framework/files/TextOutputStream.h"

#include <QString>
#include <memory>
#include <optional>

namespace fw {

// The folder that holds the executable; a test may point it elsewhere.
QString ApplicationFolder();
void SetApplicationFolder(const QString& folder);  // empty: back to the executable's folder
// The longest file name, in bytes, that the application's folder can hold
// (255 when the system does not say).
long FileNameLimit();

class FolderItem {
public:
    explicit FolderItem(QString path) : path_(std::move(path)) {}
    QString Name() const;
    const QString& Path() const { return path_; }
    bool Exists() const;
    // nullptr when the file cannot be opened; error then says why.
    std::unique_ptr<TextInputStream> OpenAsTextFile(QString* error = nullptr) const;

private:
    QString path_;
};

// The file of that bare name in the application's folder, or nothing when
// the name cannot denote one there (empty, a path separator, a NUL, "." or "..").
std::optional<FolderItem> GetFolderItem(const QString& name);

}  // namespace fw
