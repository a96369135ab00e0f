// Putting several written files in place of their targets as one change,
// which a crash, a power cut or a second copy of the program cannot split.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace fw {

class CommitJournal;
struct InterruptedCommit;
struct JournalEntry;
struct PathStep;
class TextOutputStream;

// A file a failed commit or a recovery could not tidy away, or that stands
// where an interrupted commit could not have left it.
struct LeftFile {
    // The target's old file, kept under a hidden name; a file at the target,
    // where the commit found none; a new file under its hidden name.
    enum class What { OldFile, NewFile, Unfinished };
    What what;
    QByteArray name;  // the target it belongs to, its bare name in the commit's folder
    QByteArray path;  // where it is left
    QString reason;   // the system's reason; empty where nothing failed
};

struct CommitFailure {
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::size_t index = 0;       // the target that could not be written or put in place
    QByteArray path;             // that target
    QString reason;              // the system's reason, or the program's own words
    std::size_t sameAs = kNone;  // the other target that names the same file, if that is the reason
    std::vector<LeftFile> left;  // what the undo could not tidy away: the next start settles it
    bool leftAsFound = false;    // `left` is what an earlier commit left, and nothing of it was touched
};

// Replaces a test's page and answers, "Title.html" and "Title.js" in
// `folder`, with new files: both of them, or neither.
//
// Begin() claims the folder with its record until the commit ends, so commits
// into one folder run one after the other; a commit left behind by a crash is
// settled first. Before changing anything, it refuses a target this process
// could not put back (in a sticky folder, another user's file), may not
// write, or reaches through a link it may not follow, and two targets that
// are one file. It records, durably, what the commit is about to do, and only
// then creates the new files under hidden names. A target that is a symbolic
// link stays one: the file it names is replaced.
//
// Finish() keeps each old file under a hidden name (a second link, or moved
// aside), puts the new files in place, and removes the kept files and the
// record. A failed step walks the same steps back; a commit dropped before
// Finish() leaves its record for the next start to settle.
class FileCommit {
public:
    // nullptr, with `failure` filled in, when the commit cannot begin. `earlier`, where
    // given, gets what the commit found of an interrupted one, and how it settled it.
    static std::unique_ptr<FileCommit> Begin(const QByteArray& folder, std::span<const QByteArray> names,
                                             CommitFailure& failure, InterruptedCommit* earlier = nullptr);
    ~FileCommit();
    FileCommit(const FileCommit&) = delete;
    FileCommit& operator=(const FileCommit&) = delete;

    TextOutputStream& Stream(std::size_t index) { return *streams_[index]; }
    std::optional<CommitFailure> Finish();  // once

private:
    FileCommit(const QByteArray& folder, std::span<const QByteArray> names);
    std::optional<CommitFailure> Prepare(InterruptedCommit* earlier);
    std::optional<CommitFailure> SettleEarlierCommit(InterruptedCommit* earlier);
    std::optional<CommitFailure> CheckTargets();
    std::optional<CommitFailure> CreateFiles();
    CommitFailure Refusal(std::size_t index, QString reason) const;
    CommitFailure Fail(std::size_t index, QString reason);

    QByteArray folder_;
    std::vector<QByteArray> names_;
    std::unique_ptr<CommitJournal> journal_;
    std::vector<JournalEntry> entries_;
    std::vector<PathStep> path_;
    std::size_t at_ = 0;  // the steps of path_ taken so far
    std::vector<std::unique_ptr<TextOutputStream>> streams_;
    bool recorded_ = false;  // the record is written and the commit not yet decided
};

// What the start of the program found of a commit that a crash interrupted.
struct InterruptedCommit {
    enum class Outcome {  // the ones that settle it whole first: Settled() reads the order
        None,             // nothing was interrupted (or its commit is still running)
        Untouched,        // nothing was left half done: no file needed touching
        Undone,           // the old files are back
        Completed,        // every new file was in place: the commit was finished
        Unsettled,        // the files are not where the commit could have left them: nothing was touched
        Unreadable,       // the record could not be used: nothing was touched
        Foreign,          // the record belongs to another user: nothing was touched
    };
    Outcome outcome = Outcome::None;
    std::vector<QByteArray> names;  // the targets it was replacing, bare names
    bool hadOldFiles = false;       // at least one target had a file before it
    std::vector<LeftFile> left;     // what is left for the next start to settle; or, Unsettled, what stands
    QByteArray record;              // the record's path
    QString reason;                 // why the record could not be used
    // Nothing of it is left: there was none, or it was settled whole (the outcomes up to Completed).
    bool Settled() const { return left.empty() && outcome <= Outcome::Completed; }
};

// Settles the commit that a crash left in `folder`, if any.
InterruptedCommit RecoverInterruptedCommit(const QByteArray& folder);

}  // namespace fw
