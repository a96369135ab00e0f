// An output file written whole and put in place of its target at once.
#pragma once

#include <QString>
#include <memory>

class QTemporaryFile;

namespace fw {

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

}  // namespace fw
