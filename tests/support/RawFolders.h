// Folders handled by their bytes alone, for the tests of where the program
// reads and writes: a temporary folder whose name is not UTF-8 (as a Latin-1
// "Übung" folder from an old archive is), and the working directory moved
// to an empty folder of its own for as long as a test needs.
//
// Nothing here goes through QString: a name that does not survive decoding
// would name another file, and the test would check the wrong place.
#pragma once

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The names in `folder`, sorted, without "." and ".."; nothing when it cannot
// be listed.
inline std::optional<std::vector<QByteArray>> RawEntries(const QByteArray& folder) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return std::nullopt;
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The whole content of the file at `path`, or nothing when it cannot be read.
inline std::optional<QByteArray> RawRead(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    QByteArray bytes;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, got);
    ::close(fd);
    if (got < 0) return std::nullopt;
    return bytes;
}

inline bool RawWrite(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

// A fresh temporary folder, removed with everything in it at the end.
class RawTemporaryFolder {
public:
    RawTemporaryFolder() {
        const char* tmp = std::getenv("TMPDIR");
        QByteArray pattern = QByteArray(tmp && *tmp ? tmp : "/tmp") + "/quillory3-test-XXXXXX";
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~RawTemporaryFolder() {
        if (path_.isEmpty()) return;
        const auto removeOne = [](const char* path, const struct stat*, int, FTW*) {
            ::remove(path);
            return 0;  // on with the rest
        };
        ::nftw(path_.constData(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
    }
    RawTemporaryFolder(const RawTemporaryFolder&) = delete;
    RawTemporaryFolder& operator=(const RawTemporaryFolder&) = delete;

    bool isValid() const { return !path_.isEmpty(); }
    const QByteArray& path() const { return path_; }
    QByteArray file(const QByteArray& name) const { return path_ + '/' + name; }

private:
    QByteArray path_;
};

// `bad\xffname` in a temporary folder: a name that is not UTF-8.
class NonUtf8Folder {
public:
    static constexpr const char* kName = "bad\xff"
                                         "name";

    NonUtf8Folder() {
        if (parent_.isValid() && ::mkdir(parent_.file(kName).constData(), 0755) == 0) path_ = parent_.file(kName);
    }
    bool isValid() const { return !path_.isEmpty(); }
    const QByteArray& path() const { return path_; }
    QByteArray file(const QByteArray& name) const { return path_ + '/' + name; }
    // A file beside the folder, in its parent, for links and copies.
    QByteArray beside(const QByteArray& name) const { return parent_.file(name); }

private:
    RawTemporaryFolder parent_;
    QByteArray path_;
};

// The working directory is an empty temporary folder until the object ends.
class OtherWorkingDirectory {
public:
    OtherWorkingDirectory() : previous_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        changed_ = previous_ >= 0 && folder_.isValid() && ::chdir(folder_.path().constData()) == 0;
    }
    ~OtherWorkingDirectory() {
        if (changed_ && ::fchdir(previous_) != 0) std::abort();  // later tests would run in a removed folder
        if (previous_ >= 0) ::close(previous_);
    }
    OtherWorkingDirectory(const OtherWorkingDirectory&) = delete;
    OtherWorkingDirectory& operator=(const OtherWorkingDirectory&) = delete;

    bool isValid() const { return changed_; }
    const QByteArray& path() const { return folder_.path(); }
    std::vector<QByteArray> entries() const { return RawEntries(folder_.path()).value_or(std::vector<QByteArray>{}); }

private:
    RawTemporaryFolder folder_;
    int previous_;
    bool changed_ = false;
};
