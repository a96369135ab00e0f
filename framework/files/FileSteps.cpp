#include "framework/files/FileSteps.h"

#include <QFile>
#include <optional>
#include <vector>

namespace fw {
namespace {

struct ArmedFault {
    Step step;
    QByteArray file;  // empty: any target
    int error;
};

std::vector<ArmedFault> armedFaults;
testing::StepObserver observer;
FileSystemSeam seam;

}  // namespace

void testing::FailStep(Step step, const QString& file, int error) {
    armedFaults.push_back({step, QFile::encodeName(file), error});
}

void testing::ObserveSteps(StepObserver watch) { observer = std::move(watch); }

void testing::SetLockTimeout(std::chrono::milliseconds timeout) { seam.lockTimeout = timeout; }

void testing::RefuseNoReplaceRenames() { seam.noReplaceRenames = true; }

void testing::RefuseLinks() { seam.noLinks = true; }

void testing::SetOwnerOfEveryFile(uid_t owner) { seam.owner = owner; }

void testing::ResetFileSteps() {
    seam = {};
    armedFaults.clear();
    observer = nullptr;
}

int steps::Begin(Step step, const QByteArray& file) {
    if (observer) observer(step, QFile::decodeName(file), false);
    for (auto fault = armedFaults.begin(); fault != armedFaults.end(); ++fault) {
        if (fault->step == step && (fault->file.isEmpty() || fault->file == file)) {
            const int error = fault->error;
            armedFaults.erase(fault);
            return error;
        }
    }
    return 0;
}

void steps::End(Step step, const QByteArray& file) {
    if (observer) observer(step, QFile::decodeName(file), true);
}

void ForgetArmedFaults() { armedFaults.clear(); }

const FileSystemSeam& Seam() { return seam; }

uid_t FileOwner(const struct stat& st) { return seam.owner.value_or(st.st_uid); }

}  // namespace fw
