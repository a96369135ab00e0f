// Settling a commit: undoing it or completing it, from what the commit itself
// knows it did, or after a crash, from what stands on the disk.
#pragma once

#include "framework/files/CommitJournal.h"
#include "framework/files/FileCommit.h"
#include "framework/files/FileSteps.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace fw {

// How far a commit got with one target.
struct Progress {
    bool created = false;  // the new file stands under its hidden name
    bool kept = false;     // the old file stands under its kept name
    bool placed = false;   // the new file stands at the target
};

// Follows each entry's links again from the record's folder, under the
// system's rules for links, and checks that the record names nothing but
// bare names in its folder and hidden names of the program's own pattern
// beside their targets. False, with the reason, when it names anything else.
bool ResolveEntries(const QByteArray& folder, std::vector<JournalEntry>& entries, QString& reason);

// What stands on the disk tells how far an interrupted commit got: a new
// file under its hidden name was not yet in place, a kept old file was kept
// once every new file was written. `finished` is whether every new file
// stood at its target; then only Complete() is left to do.
std::vector<Progress> ProgressOnDisk(const std::vector<JournalEntry>& entries, bool& finished);

// Puts the old files back and removes what the commit made, as far as
// `progress` says it went; `progress` follows. Until the last old file is
// back, a new file stays under its hidden name, so that a crash in the
// middle of an undo is never taken for a finished commit. A step that fails
// is never ignored: what it leaves is added to `left`, and then every
// hidden new file stays for the next start to settle.
void Undo(const std::vector<JournalEntry>& entries, std::vector<Progress>& progress, std::vector<LeftFile>& left);

// Finishes a commit whose new files all stand at their targets: the kept old
// files are removed.
void Complete(const std::vector<JournalEntry>& entries, std::vector<LeftFile>& left);

// Flushes the entries of the record's folder and of every folder a target
// stands in.
bool SyncFolders(const QByteArray& folder, const std::vector<JournalEntry>& entries, Step step);

}  // namespace fw
