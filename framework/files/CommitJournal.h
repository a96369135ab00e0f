// The record a commit keeps in its folder while it changes files, and the
// lock that lets one commit at a time into a folder.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <vector>

namespace fw {

// One file a commit replaces. The record holds the names only, so that it
// means the same wherever its folder is moved or copied to; the file the
// target's links lead to is found again each time.
struct JournalEntry {
    QByteArray name;       // the target's bare name in the record's folder (maybe a symbolic link)
    QByteArray kept;       // bare hidden name beside the target that keeps the old file; empty: none
    QByteArray temporary;  // bare hidden name beside the target that the new file is written under
    QByteArray target;     // not recorded: the path of the file replaced, `name` with its links followed

    QByteArray Beside(const QByteArray& hidden) const;  // the path of a hidden name beside the target
};

// The process that wrote a record, as far as this machine can tell it again.
struct JournalWriter {
    QByteArray host;
    QByteArray boot;  // this boot of the machine
    qint64 pid = 0;
    qint64 start = 0;  // the process's start, in clock ticks after boot

    static JournalWriter Self();
    // Whether the writer is another process of this machine that still runs:
    // a commit of this very process has ended when another begins.
    bool StillRuns() const;
};

// What a record holds.
struct Recorded {
    std::vector<JournalEntry> entries;
    JournalWriter writer;
    bool undone = false;  // the commit failed and began its undo: it is never to be finished
};

// The record: a hidden file of fixed name in the commit's folder, locked with
// flock() while a commit or a recovery runs, and removed when the commit ends:
// a record with content is what a commit that died left behind.
class CommitJournal {
public:
    static constexpr char kName[] = ".quillory3-commit";

    explicit CommitJournal(const QByteArray& folder);
    ~CommitJournal();  // lets the lock go
    CommitJournal(const CommitJournal&) = delete;
    CommitJournal& operator=(const CommitJournal&) = delete;

    enum class Lock {
        Held,     // locked, or opened where the file system has no locks and no running commit holds it
        Absent,   // no record, and none was to be made
        Busy,     // another commit holds it (for the whole timeout, when waiting)
        Foreign,  // the record belongs to another user (for the whole timeout, when waiting): never used
        Failed,   // the record could not be opened: Error() says why
    };
    // Opens the record without following a link. A commit (`forCommit`) makes
    // an empty one where there is none, and waits up to LockTimeout() for the
    // lock and for another user's record to go; the start never waits. A
    // record removed meanwhile by its holder is opened afresh. Without locks,
    // a record whose writer still runs on this machine counts as held.
    Lock Acquire(bool forCommit);

    enum class State {
        Unfinished,  // empty, or cut off while it was written: the commit changed nothing yet
        Begun,       // the commit may have changed files
        Unreadable,  // Error() says why
    };
    State Read(Recorded& recorded);

    // Records the entries, durably, in place of whatever the record held.
    bool Write(const std::vector<JournalEntry>& entries);
    // Adds, durably, that the commit failed and is being undone.
    bool MarkUndone();
    // Removes the record while it is still locked, then lets the lock go;
    // the caller syncs the folder where the removal must last.
    bool Remove();

    const QByteArray& Folder() const { return folder_; }
    const QByteArray& Path() const { return path_; }
    int Error() const { return error_; }

private:
    enum class Opened { Ok, Absent, Foreign, Failed };
    Opened Open(bool create);
    void Close();
    bool Failed();  // keeps errno as Error(); false

    QByteArray folder_;
    QByteArray path_;
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace fw
