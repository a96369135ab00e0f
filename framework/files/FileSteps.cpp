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

constexpr std::chrono::milliseconds kLockTimeout{10000};

std::vector<ArmedFault> armedFaults;
testing::StepObserver observer;
std::chrono::milliseconds lockTimeout = kLockTimeout;
bool noReplaceRefused = false;
bool linksRefused = false;
std::optional<uid_t> everyFilesOwner;

}  // namespace

void testing::FailStep(Step step, const QString& file, int error) {
    armedFaults.push_back({step, QFile::encodeName(file), error});
}

void testing::ObserveSteps(StepObserver watch) { observer = std::move(watch); }

void testing::SetLockTimeout(std::chrono::milliseconds timeout) { lockTimeout = timeout; }

void testing::RefuseNoReplaceRenames() { noReplaceRefused = true; }

void testing::RefuseLinks() { linksRefused = true; }

void testing::SetOwnerOfEveryFile(uid_t owner) { everyFilesOwner = owner; }

void testing::ResetFileSteps() {
    noReplaceRefused = false;
    linksRefused = false;
    everyFilesOwner.reset();
    armedFaults.clear();
    observer = nullptr;
    lockTimeout = kLockTimeout;
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

std::chrono::milliseconds LockTimeout() { return lockTimeout; }

bool NoReplaceRenamesRefused() { return noReplaceRefused; }

bool LinksRefused() { return linksRefused; }

uid_t FileOwner(const struct stat& st) { return everyFilesOwner.value_or(st.st_uid); }

}  // namespace fw
