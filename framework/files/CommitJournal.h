// The record a commit keeps in its folder while it changes files, which also
// lets one commit at a time into a folder.
#pragma once

#include "framework/files/FileStepFaults.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>
#include <span>
#include <sys/stat.h>
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
    std::vector<JournalEntry> entries;  // none: the folder was only claimed, nothing changed yet
    JournalWriter writer;
    bool undone = false;  // the commit failed and began its undo: it is never to be finished
};

// The only files a record names: one test's page and answers, "Title.html"
// then "Title.js", bare names in the record's folder.
bool IsPageAndAnswers(std::span<const QByteArray> names);

// The record: a file of fixed name in the commit's folder. It is only ever
// there whole: each version is written in full under a hidden name of its
// own, flushed, and then given the record's name in one step: the first
// (which names only its writer, and claims the folder) never over a file,
// every later one over the one before. While a commit runs, its record is
// locked with flock(); where the file system has no locks, the writer it
// names tells whether it still runs.
class CommitJournal {
public:
    static constexpr char kName[] = ".quillory3-commit";

    explicit CommitJournal(const QByteArray& folder);
    ~CommitJournal();  // lets the lock go
    CommitJournal(const CommitJournal&) = delete;
    CommitJournal& operator=(const CommitJournal&) = delete;

    enum class Lock {
        Claimed,  // this commit's own record took the name: the folder is its own
        Held,     // the record of an earlier commit whose writer no longer runs, held for settling
        Absent,   // no record (the start only)
        Busy,     // another commit holds it (for the whole wait, for a commit)
        Foreign,  // another user's record (for the whole wait, for a commit): never used
        Failed,   // no record can be made, or something that is none stands at its name: Reason() says why
    };
    // Removes the hidden records that crashed writers left unnamed, then
    // finds the record. A commit (`forCommit`) claims the folder where none
    // stands, and waits, until LockTimeout() has passed since its first try,
    // for a busy record and another user's to go; the start never waits.
    Lock Acquire(bool forCommit);

    Recorded Read() const;  // what the held record says

    // Records the entries in place of the claim, durably.
    bool Write(const std::vector<JournalEntry>& entries);
    // Adds, durably, that the commit failed and is being undone.
    bool MarkUndone();
    // Replaces a settled earlier record with this commit's claim.
    bool TakeOver();
    // Removes the held record while it is still locked, then lets the lock
    // go; the caller syncs the folder where the removal must last.
    bool Remove();

    const QByteArray& Folder() const { return folder_; }
    const QByteArray& Path() const { return path_; }
    QString Reason() const;  // why the last step failed

private:
    static constexpr int kNoRecord = -1;  // an error of its own: the file is no record of this program's
    Lock Open(const QByteArray& path, int& fd, const QByteArray& twin);
    bool OwnedHere(const struct stat& st);
    int CreateHidden(QByteArray& hidden);
    bool Put(const QByteArray& bytes, std::optional<testing::Step> durably);
    bool IsHeld() const;
    void RemoveLeftRecords();
    bool Failed();  // keeps errno for Reason(); false

    QByteArray folder_;
    QByteArray path_;
    QByteArray bytes_;  // what the held record holds
    int fd_ = -1;       // the held record
    int error_ = 0;
    int ownersTold_ = -1;  // whether the folder's files have the owner of their creator; -1: not yet known
    std::chrono::steady_clock::time_point deadline_{};
};

}  // namespace fw
