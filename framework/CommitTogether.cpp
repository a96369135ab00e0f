#include "framework/CommitTogether.h"

#include "framework/FileStepFaults.h"
#include "framework/FileSystemCalls.h"
#include "framework/TextOutputStream.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fw {
namespace {

struct ArmedFault {
    int step;
    int error;
};

std::vector<ArmedFault>& armedFaults() {
    static std::vector<ArmedFault> faults;
    return faults;
}

}  // namespace

void testing::FailFileStep(int n, int error) { armedFaults().push_back({n, error}); }

// One run of CommitTogether.
class PairCommit {
public:
    explicit PairCommit(std::span<TextOutputStream* const> streams) {
        for (TextOutputStream* stream : streams) entries_.push_back({stream, QFile::encodeName(stream->Path()), {}, false, false});
    }
    ~PairCommit() { armedFaults().clear(); }

    std::optional<CommitFailure> Run() {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            TextOutputStream& stream = *entries_[i].stream;
            if (stream.temporary_.isEmpty()) return Fail(i, SystemReason(ENOENT));
            if (!stream.Close()) return Fail(i, stream.Error());
        }
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (!KeepOldFile(entries_[i])) return Fail(i, reason_);
        }
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (!PutInPlace(entries_[i])) return Fail(i, reason_);
        }
        for (Entry& entry : entries_) {
            if (!entry.kept.isEmpty()) ::unlink(entry.kept.constData());
        }
        SyncFolders();
        return std::nullopt;
    }

private:
    struct Entry {
        TextOutputStream* stream;
        QByteArray target;
        QByteArray kept;         // the old file under a hidden name; empty when there was none
        bool movedAway = false;  // kept by moving, not linking: the target is absent meanwhile
        bool replaced = false;   // the new file stands at the target
    };

    // A link or rename that moves the commit forward; the test seam may fail it.
    template <typename Call>
    int Step(Call call) {
        ++steps_;
        for (const ArmedFault& fault : armedFaults()) {
            if (fault.step == steps_) {
                errno = fault.error;
                return -1;
            }
        }
        return call();
    }

    bool Failed(int error) {
        reason_ = SystemReason(error);
        return false;
    }

    // Keeps an existing target under a hidden name until the commit is
    // decided: a second name for the same file, or where the file system
    // refuses one, the file itself moved aside.
    bool KeepOldFile(Entry& entry) {
        struct stat st {};
        if (::lstat(entry.target.constData(), &st) != 0) return errno == ENOENT || Failed(errno);
        if (S_ISDIR(st.st_mode)) {
            reason_ = FolderInTheWayReason();
            return false;
        }
        const QByteArray folder = FolderOfPath(entry.target);
        const QByteArray name = NameOfPath(entry.target);
        int error = EEXIST;
        for (int tries = 0; tries < kHiddenNameTries && error == EEXIST; ++tries) {
            const QByteArray kept = folder + '/' + HiddenNameFor(name);
            if (Step([&] { return ::linkat(AT_FDCWD, entry.target.constData(), AT_FDCWD, kept.constData(), 0); }) == 0) {
                entry.kept = kept;
                return true;
            }
            error = errno;
        }
        for (int tries = 0; tries < kHiddenNameTries; ++tries) {
            const QByteArray kept = folder + '/' + HiddenNameFor(name);
            if (::lstat(kept.constData(), &st) == 0 || errno != ENOENT) continue;
            if (Step([&] { return std::rename(entry.target.constData(), kept.constData()); }) == 0) {
                entry.kept = kept;
                entry.movedAway = true;
                return true;
            }
            return Failed(errno);
        }
        return Failed(error);
    }

    bool PutInPlace(Entry& entry) {
        TextOutputStream& stream = *entry.stream;
        if (Step([&] { return std::rename(stream.temporary_.constData(), entry.target.constData()); }) != 0)
            return Failed(errno);
        stream.temporary_.clear();
        entry.replaced = true;
        return true;
    }

    // Undoes every step taken, last first, removes the temporary files and
    // reports the failure of stream `index`.
    CommitFailure Fail(std::size_t index, QString reason) {
        for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
            if (!Undo(*entry)) {
                reason += QStringLiteral("; the old file of \"%1\" could not be put back and is kept as \"%2\"")
                              .arg(entry->stream->Path(), QFile::decodeName(entry->kept));
            }
            entry->stream->RemoveTemporary();
        }
        SyncFolders();
        return {index, entries_[index].stream->Path(), reason};
    }

    bool Undo(Entry& entry) {
        const char* target = entry.target.constData();
        if (entry.kept.isEmpty()) {
            if (entry.replaced) ::unlink(target);  // there was no file before
            return true;
        }
        if (entry.replaced || entry.movedAway) {
            if (std::rename(entry.kept.constData(), target) != 0) return false;
        } else {
            ::unlink(entry.kept.constData());
        }
        entry.kept.clear();
        return true;
    }

    void SyncFolders() {
        std::set<QByteArray> folders;
        for (const Entry& entry : entries_) folders.insert(FolderOfPath(entry.target));
        for (const QByteArray& folder : folders) SyncFolder(folder);
    }

    std::vector<Entry> entries_;
    QString reason_;
    int steps_ = 0;
};

std::optional<CommitFailure> CommitTogether(std::span<TextOutputStream* const> streams) {
    return PairCommit(streams).Run();
}

}  // namespace fw
