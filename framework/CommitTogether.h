// Putting several written files in place of their targets as one change,
// which a crash, a power cut or a second copy of the program cannot split.
#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace fw {

class CommitJournal;
struct JournalEntry;
class TextOutputStream;

struct CommitFailure {
    std::size_t index;  // the target that could not be written or put in place
    QString path;       // that target
    QString reason;     // the system's reason, or the program's own words
};

// Replaces every target with a new file: all of them, or none.
//
// Begin() holds the lock of the first target's folder until the commit ends,
// so commits into one folder run one after the other; a commit left behind
// by a crash is settled first. It refuses, before changing anything, a target
// this process could not put back (in a sticky folder, a file of another
// user's) or may not write. It then records, durably, what the commit is
// about to do, and only then creates the new files under hidden names.
// A target that is a symbolic link stays one: the file it names is replaced.
//
// Finish() closes the new files, keeps each old file under a hidden name (a
// second link, or the file itself moved aside where links fail), puts the
// new files in place, notes that in the record, and removes the kept files
// and the record. A failed step, or a commit dropped before Finish(), puts
// every old file back and removes the new ones.
class FileCommit {
public:
    // nullptr, with `failure` filled in, when the commit cannot begin; then
    // nothing in the folder changed.
    static std::unique_ptr<FileCommit> Begin(std::span<const QString> targets, CommitFailure& failure);
    ~FileCommit();
    FileCommit(const FileCommit&) = delete;
    FileCommit& operator=(const FileCommit&) = delete;

    TextOutputStream& Stream(std::size_t index) { return *streams_[index]; }
    std::optional<CommitFailure> Finish();  // once

private:
    FileCommit(std::span<const QString> targets);
    std::optional<CommitFailure> Prepare();
    bool RecoverEarlierCommit(QString& reason);
    bool CheckTarget(JournalEntry& entry, bool& hasOldFile, QString& reason) const;
    bool CreateFiles(std::size_t& failed, QString& reason);
    bool KeepOldFile(const JournalEntry& entry);
    CommitFailure Fail(std::size_t index, QString reason);

    std::vector<QString> targets_;
    std::unique_ptr<CommitJournal> journal_;
    std::vector<JournalEntry> entries_;
    std::vector<std::unique_ptr<TextOutputStream>> streams_;
    bool recorded_ = false;  // the record is written and the commit not yet decided
};

// What the start of the program found of a commit that a crash interrupted.
struct InterruptedCommit {
    enum class Outcome {
        None,        // nothing was interrupted (or its commit is still running)
        Undone,      // the old files are back
        Completed,   // every new file was in place: the commit was finished
        Unreadable,  // the record could not be read: nothing was touched
    };
    Outcome outcome = Outcome::None;
    QStringList targets;       // the files it was replacing, as they were named
    bool hadOldFiles = false;  // at least one target had a file before it
    QStringList left;          // what could not be settled: which file, under which name, why
    QString record;            // the record's path
    QString reason;            // why the record could not be read
};

// Settles the commit that a crash left in `folder`, if any.
InterruptedCommit RecoverInterruptedCommit(const QString& folder);

}  // namespace fw
