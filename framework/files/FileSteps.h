// The file layer's side of the test seam (FileStepFaults.h): every call that
// changes a commit's files goes through TakeStep.
#pragma once

#include "framework/files/FileStepFaults.h"

#include <QByteArray>
#include <cerrno>
#include <chrono>
#include <optional>
#include <sys/stat.h>

namespace fw {

using testing::Step;

namespace steps {
// The error armed for this step, or 0; tells the observer the step begins.
int Begin(Step step, const QByteArray& file);
// Tells the observer the step was taken.
void End(Step step, const QByteArray& file);
}  // namespace steps

// Runs `call` (a system call returning -1 and setting errno on failure) as
// the step `step` for the target named `file`.
template <typename Call>
int TakeStep(Step step, const QByteArray& file, Call call) {
    if (const int error = steps::Begin(step, file)) {
        errno = error;
        return -1;
    }
    const int result = call();
    const int error = errno;
    steps::End(step, file);
    errno = error;
    return result;
}

// Drops the faults armed and not used.
void ForgetArmedFaults();

// The file system and the waits as the program has them, or as a test sets them.
struct FileSystemSeam {
    std::chrono::milliseconds lockTimeout{10000};  // how long a commit waits for a busy folder
    bool noReplaceRenames = false;                 // renameat2 refuses RENAME_NOREPLACE (EINVAL)
    bool noLinks = false;                          // link() fails (EPERM)
    std::optional<uid_t> owner;                    // every file's owner
};
const FileSystemSeam& Seam();
// A file's owner, as the file system gives it (or a test makes it).
uid_t FileOwner(const struct stat& st);

}  // namespace fw
