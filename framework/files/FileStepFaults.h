// For tests: the steps a file commit takes, which a test may make fail as
// the system would, watch, or stop the process at, so that the rollback and
// the recovery after a crash can be checked on any file system and as any
// user. Steps are named by what they do and to which target file, never by
// their place in the commit's order.
#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <sys/types.h>

namespace fw::testing {

enum class Step {
    Lock,           // the folder's lock taken (tried again while another commit holds it)
    NameJournal,    // a version of the record, written whole, given the record's name
    WriteJournal,   // the record of what the commit is about to do, written whole under a hidden name and synced
    CreateFile,     // the new file created under its hidden name
    SyncFile,       // the new file's bytes flushed to the disk
    SetMode,        // the replaced file's permissions given to the new file
    SetGroup,       // the replaced file's group given to the new file
    SetAcl,         // the replaced file's access list given to the new file
    Link,           // the old file kept under a second, hidden name
    MoveAside,      // the old file moved to its hidden name (where a link failed)
    SyncKept,       // the kept names flushed to the disk, before any target changes
    PutInPlace,     // the new file renamed over the target
    SyncPlaced,     // the new files' places flushed to the disk
    RemoveKept,     // a kept old file removed (once the commit succeeded, or in an undo)
    MarkUndone,     // a failed commit's record, telling that the commit is being undone, written as WriteJournal
    TakeBack,       // undo: a new file that stood at its target moved back to its hidden name
    PutBack,        // undo: the old file back at the target
    SyncUndo,       // undo: the new files back under their hidden names flushed to the disk
    RemoveNew,      // undo: a new or temporary file removed
    RemoveJournal,  // the record removed once the commit is decided; a hidden one a crash left, removed
};

// The next `step` taken for the target named `file` (a bare name such as
// "q.html"; empty: any target) fails with error number `error`, once.
// Whatever is armed and unused is forgotten when a commit ends.
void FailStep(Step step, const QString& file, int error);

// Called before (done false) and after (done true) every step of every
// commit and recovery, with the target's bare name (empty for the record's
// own steps). Empty to stop watching.
using StepObserver = std::function<void(Step step, const QString& file, bool done)>;
void ObserveSteps(StepObserver observer);

// As on a file system that cannot rename without replacing (renameat2
// refuses RENAME_NOREPLACE with EINVAL), until ResetFileSteps().
void RefuseNoReplaceRenames();

// As on a file system without hard links (FAT: link() fails with EPERM), for
// the record and the kept old files alike, until ResetFileSteps().
void RefuseLinks();

// As on a file system that gives every file the owner `owner` (FAT mounted
// with uid=, say), until ResetFileSteps().
void SetOwnerOfEveryFile(uid_t owner);

// How long a commit waits for a folder that another one holds (10 s unless a
// test sets it).
void SetLockTimeout(std::chrono::milliseconds timeout);

// Back to the file layer as the program has it: nothing armed, nobody
// watching, the usual wait for a busy folder, renames as the system has them.
void ResetFileSteps();

}  // namespace fw::testing
