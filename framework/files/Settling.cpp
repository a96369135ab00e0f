#include "framework/files/Settling.h"

#include "framework/files/FileSteps.h"
#include "framework/files/FileSystemCalls.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>

namespace fw {
namespace {

bool Exists(const QByteArray& path, struct stat* st = nullptr) {
    struct stat ignored {};
    return ::lstat(path.constData(), st ? st : &ignored) == 0;
}

// Whether the file at the target is no longer the old file the record saw.
bool Changed(const JournalEntry& entry) {
    struct stat st {};
    if (!Exists(entry.target, &st)) return false;
    const qint64 time = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return qint64(st.st_size) != entry.oldSize || time != entry.oldTime;
}

QString NotOurs() { return QStringLiteral("it names a file that no save of this program makes"); }

}  // namespace

bool ResolveEntries(const QByteArray& folder, std::vector<JournalEntry>& entries, QString& reason) {
    std::set<QByteArray> seen;
    const auto once = [&seen](const QByteArray& path) { return seen.insert(path).second; };
    for (JournalEntry& entry : entries) {
        if (!IsBareName(entry.name) || entry.name == CommitJournal::kName || !once(folder + '/' + entry.name)) {
            reason = NotOurs();
            return false;
        }
        entry.target = FollowLinks(folder + '/' + entry.name);
        if (entry.target.isEmpty()) {
            reason = SystemReason(errno);
            return false;
        }
        const QByteArray name = NameOfPath(entry.target);
        const bool hiddenOk = IsHiddenNameFor(entry.temporary, name) &&
                              (entry.kept.isEmpty() || IsHiddenNameFor(entry.kept, name));
        if (!hiddenOk || (entry.target != folder + '/' + entry.name && !once(entry.target)) ||
            !once(entry.Beside(entry.temporary)) || (!entry.kept.isEmpty() && !once(entry.Beside(entry.kept)))) {
            reason = NotOurs();
            return false;
        }
    }
    return true;
}

std::vector<Progress> ProgressOnDisk(const std::vector<JournalEntry>& entries, bool& finished) {
    std::vector<Progress> progress(entries.size());
    bool notPlaced = false;
    bool placed = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const JournalEntry& entry = entries[i];
        Progress& p = progress[i];
        p.kept = !entry.kept.isEmpty() && Exists(entry.Beside(entry.kept));
        if (Exists(entry.Beside(entry.temporary))) {
            p.created = true;
            notPlaced = true;
        } else if (entry.kept.isEmpty()) {
            // No old file: the new one stands at the target, or was never made.
            p.placed = Exists(entry.target);
            (p.placed ? placed : notPlaced) = true;
        } else if (p.kept) {
            // Old files are kept only once every new file is written, so its
            // new file, no longer under its hidden name, is in place.
            p.placed = placed = true;
        }
        // Otherwise neither name is left: not begun, or finished and tidied.
    }
    if (notPlaced) {
        finished = false;
    } else if (placed) {
        finished = true;
    } else {
        // Nothing but the targets is left: only they can tell.
        finished = false;
        for (const JournalEntry& entry : entries) finished = finished || Changed(entry);
    }
    return progress;
}

void Undo(const std::vector<JournalEntry>& entries, std::vector<Progress>& progress, std::vector<LeftFile>& left) {
    const auto leave = [&left](LeftFile::What what, std::size_t index, const QByteArray& path) {
        left.push_back({what, index, path, SystemReason(errno)});
    };
    bool synced = false;
    for (std::size_t i = entries.size(); i-- > 0;) {
        const JournalEntry& entry = entries[i];
        Progress& p = progress[i];
        const QByteArray file = NameOfPath(entry.name);
        const QByteArray kept = entry.Beside(entry.kept);
        const QByteArray temporary = entry.Beside(entry.temporary);
        if (p.placed && entry.kept.isEmpty()) {
            if (TakeStep(Step::RemoveNew, file, [&] { return ::unlink(entry.target.constData()); }) == 0)
                p.placed = false;
            else
                leave(LeftFile::What::NewFile, i, entry.target);
            continue;
        }
        if (p.placed) {
            // The new file goes back to its hidden name before the old one
            // comes back, and that reaches the disk first: until the undo
            // ends, the disk shows a commit whose new files are not all in
            // place.
            if (TakeStep(Step::TakeBack, file, [&] {
                    return RenameNoReplace(entry.target, temporary);
                }) != 0) {
                leave(LeftFile::What::OldFile, i, kept);
                continue;
            }
            p.placed = false;
            p.created = true;
            // Best effort: a folder that cannot be flushed now is no reason
            // to leave the old file out of place.
            if (!synced) {
                synced = true;
                SyncFolders(FolderOfPath(entry.target), {}, Step::SyncUndo);
            }
        }
        if (!p.kept) continue;
        const bool takenBack = p.created && !Exists(entry.target);
        if (Exists(entry.target)) {
            // Kept by a second name, the old file still stands at the target.
            if (TakeStep(Step::RemoveKept, file, [&] { return ::unlink(kept.constData()); }) == 0)
                p.kept = false;
            else
                leave(LeftFile::What::OldFile, i, kept);
        } else if (TakeStep(Step::PutBack, file, [&] { return RenameNoReplace(kept, entry.target); }) == 0) {
            p.kept = false;
        } else {
            leave(LeftFile::What::OldFile, i, kept);
            // Rather the new file at the target than none until the next start.
            if (takenBack && RenameNoReplace(temporary, entry.target) == 0) {
                p.created = false;
                p.placed = true;
            }
        }
    }
    // The hidden new files are what tells the next start that this commit
    // never finished: they go only once everything else is back.
    if (!left.empty()) return;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!progress[i].created) continue;
        const QByteArray temporary = entries[i].Beside(entries[i].temporary);
        if (TakeStep(Step::RemoveNew, NameOfPath(entries[i].name), [&] { return ::unlink(temporary.constData()); }) ==
            0)
            progress[i].created = false;
        else
            leave(LeftFile::What::Unfinished, i, temporary);
    }
}

void Complete(const std::vector<JournalEntry>& entries, std::vector<LeftFile>& left) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const JournalEntry& entry = entries[i];
        if (entry.kept.isEmpty()) continue;
        const QByteArray kept = entry.Beside(entry.kept);
        if (Exists(kept) &&
            TakeStep(Step::RemoveKept, NameOfPath(entry.name), [&] { return ::unlink(kept.constData()); }) != 0)
            left.push_back({LeftFile::What::OldFile, i, kept, SystemReason(errno)});
    }
}

bool SyncFolders(const QByteArray& folder, const std::vector<JournalEntry>& entries, Step step) {
    std::set<QByteArray> folders{folder};
    for (const JournalEntry& entry : entries) folders.insert(FolderOfPath(entry.target));
    return TakeStep(step, {}, [&] {
               for (const QByteArray& each : folders)
                   if (!SyncFolder(each)) return -1;
               return 0;
           }) == 0;
}

}  // namespace fw
