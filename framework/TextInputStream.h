// A preference file read line by line.
#pragma once

#include <QString>
#include <memory>

class QFile;

namespace fw {

// Reads UTF-8 text line by line; a line ends with CR, LF or CRLF.
class TextInputStream {
public:
    explicit TextInputStream(std::unique_ptr<QFile> file);
    ~TextInputStream();
    // The next line without its line end. On failure returns the empty text
    // and Error() says why: the file could not be read, the line is longer
    // than the limit, or it is not valid UTF-8.
    QString ReadLine();
    const QString& Error() const { return error_; }
    void SetMaxLineLength(qint64 characters) { maxLine_ = characters; }

private:
    std::unique_ptr<QFile> file_;
    QString error_;
    qint64 maxLine_ = 1 << 20;
};

}  // namespace fw
