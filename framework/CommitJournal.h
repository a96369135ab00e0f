// The record a commit keeps in its folder while it changes files, the lock
// that lets one commit at a time into a folder, and settling a commit from
// its record: undoing it or completing it, from what stands on the disk.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace fw {

// One file a commit replaces. Paths are encoded file names.
struct JournalEntry {
    QByteArray named;      // the target as the caller named it (maybe a symbolic link)
    QByteArray target;     // the file replaced: `named` with its links followed
    QByteArray kept;       // the hidden name that keeps the old file; empty when there was none
    QByteArray temporary;  // the hidden name the new file is written under
};

// The record: a hidden file of fixed name in the commit's folder, locked
// with flock() for as long as a commit or a recovery runs. It is removed
// when the commit ends, so a record with content is what a commit that died
// left behind.
class CommitJournal {
public:
    static constexpr char kName[] = ".quillory3-commit";

    explicit CommitJournal(const QByteArray& folder);
    ~CommitJournal();  // lets the lock go
    CommitJournal(const CommitJournal&) = delete;
    CommitJournal& operator=(const CommitJournal&) = delete;

    enum class Lock {
        Held,    // locked, or opened where the file system has no locks
        Absent,  // no record, and none was to be made
        Busy,    // another commit held it for the whole timeout
        Failed,  // the record could not be opened: Error() says why
    };
    // Opens the record (making an empty one when `create`) and waits for its
    // lock as long as LockTimeout(). A record that the previous holder
    // removed while this one waited is opened afresh.
    Lock Acquire(bool create);

    enum class State {
        Empty,       // nothing recorded
        Unfinished,  // cut off while it was written: the commit changed nothing yet
        Begun,       // the commit may have changed files; none of them is sure to be in place
        Placed,      // every new file stood at its target
        Unreadable,  // Error() says why
    };
    State Read(std::vector<JournalEntry>& entries);

    // Records the entries, durably, in place of what the record held.
    bool Write(const std::vector<JournalEntry>& entries);
    // Notes, durably, that every new file stands at its target.
    bool MarkPlaced();
    // Removes the record while it is still locked, then lets the lock go;
    // the caller syncs the folder where the removal must last.
    bool Remove();

    const QByteArray& Path() const { return path_; }
    int Error() const { return error_; }

private:
    bool Failed();  // keeps errno as Error(); false

    QByteArray folder_;
    QByteArray path_;
    int fd_ = -1;
    int error_ = 0;
};

// What settling a commit left that it should not have: each entry names the
// target, the name it is left under and why.
struct Settled {
    QStringList left;
};

// Puts the folder back as it was before the commit: old files at their
// targets, new and kept files and temporaries gone. Works from what stands
// on the disk, so it serves a commit that failed and one that a crash cut
// off alike. A failed removal or rename is never ignored: it is in `left`.
Settled Undo(const std::vector<JournalEntry>& entries);
// Finishes a commit whose new files all stand at their targets: the kept old
// files and any temporary are removed.
Settled Complete(const std::vector<JournalEntry>& entries);

// Flushes the entries of every folder the commit touched.
void SyncFolders(const QByteArray& journalFolder, const std::vector<JournalEntry>& entries);

}  // namespace fw
