// Commits that do not run alone or to their end: a process that stops at
// any step (as a crash or a power cut stops it) and the recovery the next
// start runs; two copies of the program committing into one folder; a user
// who may not replace a file. Each runs in forked child processes, so it
// holds for root as for anyone.
#include "files/CommitFolder.h"
#include "support/Forked.h"
#include "support/RawFolders.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

using fw::testing::FailStep;
using fw::testing::Step;
using Outcome = fw::InterruptedCommit::Outcome;

// ---- A stop at every step, then the next start ----

class StoppedCommit : public CommitFolder {
protected:
    enum class Before { Nothing, OldPair, OldPairWithoutLinks };

    // Stops a commit at each of its steps in turn, before and after it, and
    // checks what the next start leaves: the old pair or the new one, whole,
    // and nothing else.
    void stopAtEveryStep(Before before) {
        int undone = 0;
        int completed = 0;
        for (const bool after : {false, true}) {
            for (int n = 1;; ++n) {
                SCOPED_TRACE(testing::Message() << "step " << n << (after ? ", after it" : ", before it"));
                clearFolder();
                if (before != Before::Nothing) writeOldPair();
                const FileIdentity page = identity(QStringLiteral("q.html"));
                const FileIdentity answers = identity(QStringLiteral("q.js"));

                const int status = commitStoppingAt(folder(), n, after, before == Before::OldPairWithoutLinks);
                if (status == 0) break;
                ASSERT_EQ(status, kStopped);
                ASSERT_LT(n, 40) << "the commit never ends";

                const fw::InterruptedCommit found = recover();
                EXPECT_TRUE(found.left.empty()) << LeftText(found.left);
                const bool isNew = readFile(QStringLiteral("q.html")) == "new page";
                if (isNew) {
                    ++completed;
                    EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
                    EXPECT_EQ(entries(), pair_);
                    EXPECT_NE(found.outcome, Outcome::Undone);
                } else {
                    ++undone;
                    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
                    EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
                    EXPECT_EQ(entries(), before == Before::Nothing ? QStringList() : pair_);
                    EXPECT_NE(found.outcome, Outcome::Completed);
                }
                if (found.outcome != Outcome::None) {
                    EXPECT_EQ(found.names, (std::vector<QByteArray>{"q.html", "q.js"}));
                    EXPECT_EQ(found.hadOldFiles, before != Before::Nothing);
                }
                // The next start finds nothing more to do.
                EXPECT_EQ(recover().outcome, Outcome::None);
            }
        }
        EXPECT_GT(undone, 4);
        EXPECT_GT(completed, 1);
    }
};

TEST_F(StoppedCommit, OverAnOldPair) { stopAtEveryStep(Before::OldPair); }

TEST_F(StoppedCommit, WhereNoFilesWere) { stopAtEveryStep(Before::Nothing); }

TEST_F(StoppedCommit, WithTheOldFilesMovedAside) { stopAtEveryStep(Before::OldPairWithoutLinks); }

// A record cut off is none that the program wrote, for it gives a record its
// name only once it is whole: it is left as it stands, and the start says so.
TEST_F(StoppedCommit, ARecordCutOffIsLeftAsItStands) {
    writeOldPair();
    writeFile(QStringLiteral(".quillory3-commit"), "quillory3 commit\nby h b 1 1\nfile q.html .ab");
    EXPECT_EQ(recover().outcome, Outcome::Unreadable);
    EXPECT_EQ(readFile(QStringLiteral(".quillory3-commit")), "quillory3 commit\nby h b 1 1\nfile q.html .ab");
}

// A record that cannot be read: nothing is touched, the start says so, and
// no commit runs in that folder until the record is dealt with.
TEST_F(StoppedCommit, AnUnreadableRecordLeavesEveryFileWhereItIs) {
    writeOldPair();
    writeFile(QStringLiteral(".abcde"), "a hidden file");
    writeFile(QStringLiteral(".quillory3-commit"), "quillory3 commit\nfile q.html\nbegun\n");
    const FileIdentity page = identity(QStringLiteral("q.html"));

    const fw::InterruptedCommit found = recover();

    EXPECT_EQ(found.outcome, Outcome::Unreadable);
    EXPECT_EQ(found.record, encodedPath(QStringLiteral(".quillory3-commit")));
    const auto failure = commitPair();
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->reason.contains(path(QStringLiteral(".quillory3-commit")))) << failure->reason;
    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
    EXPECT_EQ(entries(), (QStringList{QStringLiteral(".abcde"), QStringLiteral(".quillory3-commit"),
                                      QStringLiteral("q.html"), QStringLiteral("q.js")}));
}

// A start whose own recovery meets a failing step leaves the record and
// says what is left; the start after it settles the folder to one whole
// pair with nothing hidden left. So does a failed commit whose undo fails.
TEST_F(StoppedCommit, ARecoveryThatFailsIsFinishedByTheNextStart) {
    const Step faults[] = {Step::TakeBack, Step::PutBack, Step::RemoveKept, Step::RemoveNew};
    int leftSeen = 0;
    for (const Before before : {Before::OldPair, Before::Nothing, Before::OldPairWithoutLinks}) {
        for (int n = 1;; ++n) {
            SCOPED_TRACE(testing::Message() << "before " << int(before) << ", step " << n);
            ASSERT_LT(n, 40) << "the commit never ends";
            bool ended = false;
            for (const Step fault : faults) {
                SCOPED_TRACE(int(fault));
                clearFolder();
                if (before != Before::Nothing) writeOldPair();
                const FileIdentity page = identity(QStringLiteral("q.html"));
                const FileIdentity answers = identity(QStringLiteral("q.js"));
                const int status = commitStoppingAt(folder(), n, false, before == Before::OldPairWithoutLinks);
                if (status == 0) {
                    ended = true;
                    break;
                }
                ASSERT_EQ(status, kStopped);

                FailStep(fault, QString(), EIO);
                const fw::InterruptedCommit first = recover();
                if (!first.left.empty()) {
                    ++leftSeen;
                    EXPECT_TRUE(entries().contains(QStringLiteral(".quillory3-commit")));
                    for (const fw::LeftFile& file : first.left)
                        EXPECT_EQ(file.reason, QStringLiteral("Input/output error"));
                }
                const fw::InterruptedCommit second = recover();
                EXPECT_TRUE(second.left.empty()) << LeftText(second.left);
                if (readFile(QStringLiteral("q.html")) == "new page") {
                    EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
                    EXPECT_EQ(entries(), pair_);
                } else {
                    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
                    EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
                    EXPECT_EQ(entries(), before == Before::Nothing ? QStringList() : pair_);
                }
            }
            if (ended) break;
        }
    }
    EXPECT_GT(leftSeen, 10);

    // A commit that fails, and whose undo fails too.
    for (const Step fault : faults) {
        SCOPED_TRACE(int(fault));
        clearFolder();
        writeOldPair();
        const FileIdentity page = identity(QStringLiteral("q.html"));
        FailStep(Step::SyncPlaced, QString(), EIO);
        FailStep(fault, QString(), EIO);
        const auto failure = commitPair();
        ASSERT_TRUE(failure);
        if (!failure->left.empty()) {
            EXPECT_TRUE(entries().contains(QStringLiteral(".quillory3-commit")));
        }
        EXPECT_TRUE(recover().left.empty());
        EXPECT_EQ(identity(QStringLiteral("q.html")), page);
        EXPECT_EQ(readFile(QStringLiteral("q.js")), "old answers");
        EXPECT_EQ(entries(), pair_);
    }
}

// A target that is a link to another folder: the next start follows the
// link again and settles the file it leads to, in that folder.
TEST_F(StoppedCommit, ALinkedTargetIsSettledWhereTheLinkLeads) {
    QTemporaryDir published;
    ASSERT_TRUE(published.isValid());
    const QString page = QDir(published.path()).filePath(QStringLiteral("page.html"));
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        ASSERT_LT(n, 40) << "the commit never ends";
        clearFolder();
        for (const QString& name : entriesOf(published.path())) QFile::remove(QDir(published.path()).filePath(name));
        {
            QFile file(page);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("old page");
        }
        writeFile(QStringLiteral("q.js"), "old answers");
        ASSERT_EQ(::symlink(QFile::encodeName(page).constData(), encoded(QStringLiteral("q.html"))), 0);

        const int status = commitStoppingAt(folder(), n, false);
        if (status == 0) break;
        ASSERT_EQ(status, kStopped);
        const fw::InterruptedCommit found = recover();

        EXPECT_TRUE(found.left.empty()) << LeftText(found.left);
        EXPECT_TRUE(QFileInfo(path(QStringLiteral("q.html"))).isSymLink());
        EXPECT_EQ(entries(), pair_);
        EXPECT_EQ(entriesOf(published.path()), QStringList{QStringLiteral("page.html")});
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(readFile(QStringLiteral("q.js")), file.readAll() == "new page" ? "new answers" : "old answers");
    }
}

// A commit that finds an earlier record, longer than its own, settles it and
// then records nothing but its own lines.
TEST_F(StoppedCommit, ANewRecordReplacesEveryLineOfAnEarlierOne) {
    const QByteArray longNames[] = {"a-long-title-for-a-test.html", "a-long-title-for-a-test.js"};
    const int status = RunInChild([&] {
        fw::testing::ObserveSteps([](Step step, const QString&, bool done) {
            if (step == Step::RemoveJournal && !done) ::_exit(kStopped);
        });
        return commitIn(folder(), QStringLiteral("p"), QStringLiteral("a"), longNames) ? 1 : 0;
    });
    ASSERT_EQ(status, kStopped);
    QList<QByteArray> recorded;
    fw::testing::ObserveSteps([&](Step step, const QString&, bool done) {
        if (step == Step::CreateFile && !done && recorded.isEmpty())
            recorded = readFile(QStringLiteral(".quillory3-commit")).split('\n');
    });

    ASSERT_FALSE(commitPair());

    ASSERT_EQ(recorded.size(), 6) << recorded.join('|').toStdString();
    EXPECT_TRUE(recorded[2].startsWith("file q.html "));
    EXPECT_TRUE(recorded[3].startsWith("file q.js "));
    EXPECT_EQ(recorded[4], "begun");
    EXPECT_EQ(recover().outcome, Outcome::None);
    EXPECT_EQ(entries(), (QStringList{QString::fromLatin1(longNames[0]), QString::fromLatin1(longNames[1]),
                                      QStringLiteral("q.html"), QStringLiteral("q.js")}));
}

// A file of the teacher's where no step of the commit could have left one
// (a page restored from a backup where the commit had made none; a file at
// the target of an old file moved aside, as a half-finished rename on FAT
// leaves one) is never taken for the commit's own: the start touches
// nothing, keeps the record and says what stands, and "Done" refuses the
// folder until the record is gone. Where nothing but the targets is left,
// nothing is guessed: an old page changed by hand stays as it is.
TEST_F(StoppedCommit, TheStartActsOnlyOnWhatTheCommitsStepsLeave) {
    const auto expectLeftAlone = [&](const QStringList& before, const QByteArray& record) {
        const fw::InterruptedCommit found = recover();
        EXPECT_EQ(found.outcome, Outcome::Unsettled);
        EXPECT_EQ(entries(), before);
        const auto refused = commitPair(QStringLiteral("B page"), QStringLiteral("B answers"));
        EXPECT_TRUE(refused && refused->leftAsFound && refused->left.size() == found.left.size());
        EXPECT_EQ(entries(), before);
        EXPECT_EQ(readFile(QStringLiteral(".quillory3-commit")), record);
        return found.left;
    };

    // Before the first new file, and once it stands under its hidden name.
    for (const bool created : {false, true}) {
        SCOPED_TRACE(created);
        clearFolder();
        ASSERT_EQ(commitStoppingWhen(Step::CreateFile, QStringLiteral("q.html"), created), kStopped);
        writeFile(QStringLiteral("q.html"), "her page");
        const auto left = expectLeftAlone(entries(), readFile(QStringLiteral(".quillory3-commit")));
        ASSERT_EQ(left.size(), created ? 2u : 1u) << LeftText(left);
        EXPECT_EQ(left.back().what, fw::LeftFile::What::NewFile);
        EXPECT_EQ(left.back().path, encodedPath(QStringLiteral("q.html")));
        EXPECT_EQ(readFile(QStringLiteral("q.html")), "her page");
    }

    for (const bool noReplace : {false, true}) {
        SCOPED_TRACE(noReplace);
        clearFolder();
        writeOldPair();
        ASSERT_EQ(commitStoppingWhen(Step::MoveAside, QStringLiteral("q.html"), true, refuseLinks), kStopped);
        writeFile(QStringLiteral("q.html"), "her copy");
        if (noReplace) fw::testing::RefuseNoReplaceRenames();
        const auto kept = expectLeftAlone(entries(), readFile(QStringLiteral(".quillory3-commit")));
        ASSERT_FALSE(kept.empty());
        EXPECT_EQ(kept[0].what, fw::LeftFile::What::OldFile);
        EXPECT_EQ(RawRead(kept[0].path), "old page");
        EXPECT_EQ(readFile(QStringLiteral("q.html")), "her copy");
        EXPECT_EQ(readFile(QStringLiteral("q.js")), "old answers");
        fw::testing::ResetFileSteps();
    }

    clearFolder();
    writeOldPair();
    ASSERT_EQ(commitStoppingWhen(Step::CreateFile, QStringLiteral("q.html"), false), kStopped);
    writeFile(QStringLiteral("q.html"), "old page, changed by hand");
    EXPECT_EQ(recover().outcome, Outcome::Untouched);
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "old page, changed by hand");
    EXPECT_EQ(readFile(QStringLiteral("q.js")), "old answers");
    EXPECT_EQ(entries(), pair_);
}

// A commit that failed once every new file stood in place, and whose undo
// could not move them back: the next start goes on with the undo, as the
// failure said, unless the record could not be told; then it finishes the
// commit and says so.
TEST_F(StoppedCommit, AFailedCommitIsUndoneAtTheNextStartAsItSaid) {
    for (const bool told : {true, false}) {
        SCOPED_TRACE(told);
        clearFolder();
        writeOldPair();
        const FileIdentity page = identity(QStringLiteral("q.html"));
        const FileIdentity answers = identity(QStringLiteral("q.js"));
        FailStep(Step::SyncPlaced, QString(), EIO);
        if (!told) FailStep(Step::MarkUndone, QString(), EROFS);
        FailStep(Step::TakeBack, QString(), EROFS);

        const auto failure = commitPair();

        ASSERT_TRUE(failure);
        ASSERT_EQ(failure->left.size(), 2u) << LeftText(failure->left);
        for (const fw::LeftFile& file : failure->left) {
            EXPECT_EQ(file.what, fw::LeftFile::What::OldFile);
            EXPECT_EQ(file.reason, QStringLiteral("Read-only file system"));
        }
        const fw::InterruptedCommit found = recover();
        EXPECT_TRUE(found.left.empty()) << LeftText(found.left);
        EXPECT_EQ(entries(), pair_);
        if (told) {
            EXPECT_EQ(found.outcome, Outcome::Undone);
            EXPECT_EQ(identity(QStringLiteral("q.html")), page);
            EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
        } else {
            EXPECT_EQ(found.outcome, Outcome::Completed);
            EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
        }
    }
}

// A stop in the middle of an undo, that of a failed commit or the start's
// own, at each of its steps: the start after it puts the folder in order.
TEST_F(StoppedCommit, AStopInTheMiddleOfAnUndoIsFinishedByTheNextStart) {
    const Step undoSteps[] = {Step::MarkUndone, Step::TakeBack,  Step::SyncUndo,     Step::PutBack,
                              Step::RemoveKept, Step::RemoveNew, Step::RemoveJournal};
    const auto isUndoStep = [&](Step step) {
        return std::find(std::begin(undoSteps), std::end(undoSteps), step) != std::end(undoSteps);
    };
    const auto expectWholePair = [&](const FileIdentity& page, const FileIdentity& answers) {
        EXPECT_TRUE(recover().left.empty());
        if (readFile(QStringLiteral("q.html")) == "new page") {
            EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
        } else {
            EXPECT_EQ(identity(QStringLiteral("q.html")), page);
            EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
        }
        EXPECT_EQ(entries(), pair_);
    };
    int stops = 0;
    for (const bool noLinks : {false, true}) {
        for (const Step fault : {Step::SyncPlaced, Step::PutInPlace, Step::SyncKept}) {
            for (const bool inTheStart : {false, true}) {
                for (int n = 1;; ++n) {
                    SCOPED_TRACE(testing::Message() << noLinks << " " << int(fault) << " " << inTheStart << " " << n);
                    ASSERT_LT(n, 40) << "the undo never ends";
                    clearFolder();
                    writeOldPair();
                    const FileIdentity page = identity(QStringLiteral("q.html"));
                    const FileIdentity answers = identity(QStringLiteral("q.js"));
                    int seen = 0;
                    const auto stopAtTheNthUndoStep = [&] {
                        fw::testing::ObserveSteps([&](Step step, const QString&, bool done) {
                            if (!done && isUndoStep(step) && ++seen == n) ::_exit(kStopped);
                        });
                    };
                    const int status = RunInChild([&] {
                        if (noLinks) refuseLinks();
                        if (inTheStart) {
                            // A crash where the fault would be, then a start that stops.
                            fw::testing::ObserveSteps([&](Step step, const QString& file, bool done) {
                                if (step == fault && !done && (file.isEmpty() || file == QStringLiteral("q.js")))
                                    ::_exit(kStopped + 1);
                            });
                            commitPair();
                            return 1;
                        }
                        FailStep(fault, fault == Step::PutInPlace ? QStringLiteral("q.js") : QString(), EIO);
                        stopAtTheNthUndoStep();
                        return commitPair() ? 0 : 1;
                    });
                    if (inTheStart) {
                        ASSERT_EQ(status, kStopped + 1);
                        const int started = RunInChild([&] {
                            stopAtTheNthUndoStep();
                            recover();
                            return 0;
                        });
                        if (started == 0) break;
                        ASSERT_EQ(started, kStopped);
                    } else if (status != kStopped) {
                        break;
                    }
                    ++stops;
                    expectWholePair(page, answers);
                }
            }
        }
    }
    EXPECT_GT(stops, 40);
}

// An earlier commit whose settling fails stops the new one: its record is
// not overwritten, its kept file stays, and the next start settles it.
TEST_F(StoppedCommit, AnEarlierCommitThatCannotBeSettledStopsTheNewOne) {
    writeOldPair();
    const FileIdentity page = identity(QStringLiteral("q.html"));
    ASSERT_EQ(commitStoppingWhen(Step::PutInPlace, QStringLiteral("q.js"), false), kStopped);
    const QByteArray record = readFile(QStringLiteral(".quillory3-commit"));
    FailStep(Step::PutBack, QStringLiteral("q.html"), EIO);

    const auto failure = commitPair(QStringLiteral("B page"), QStringLiteral("B answers"));

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, QStringLiteral("an earlier save in this folder was interrupted, and not all of it "
                                              "could be settled"));
    ASSERT_FALSE(failure->left.empty());
    EXPECT_EQ(failure->left[0].what, fw::LeftFile::What::OldFile);
    EXPECT_EQ(RawRead(failure->left[0].path), "old page");
    EXPECT_EQ(readFile(QStringLiteral(".quillory3-commit")), record);

    EXPECT_EQ(recover().outcome, Outcome::Undone);
    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
    EXPECT_EQ(readFile(QStringLiteral("q.js")), "old answers");
    EXPECT_EQ(entries(), pair_);
}

// A file system that gives every file one owner (FAT mounted with uid=),
// and one with neither hard links nor renames that never replace: a commit
// saves, a failed one puts the old pair back, and one that died before its
// answers went in place is undone by the next start, nothing else left.
TEST_F(StoppedCommit, FileSystemsOfOneOwnerOrWithoutLinksAndNoReplaceRenames) {
    const uid_t someoneElse = ::geteuid() == 0 ? kNobody : ::geteuid() + 4242;
    const std::function<void()> fileSystems[] = {
        [someoneElse] { fw::testing::SetOwnerOfEveryFile(someoneElse); },
        [] {
            fw::testing::RefuseLinks();
            fw::testing::RefuseNoReplaceRenames();
        },
    };
    for (std::size_t row = 0; row < std::size(fileSystems); ++row) {
        SCOPED_TRACE(row);
        const std::function<void()>& onThisFileSystem = fileSystems[row];
        clearFolder();
        writeOldPair();
        onThisFileSystem();
        ASSERT_FALSE(commitPair());
        EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
        EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
        EXPECT_EQ(entries(), pair_);

        const auto expectOldPair = [&](const FileIdentity& page, const FileIdentity& answers) {
            EXPECT_EQ(identity(QStringLiteral("q.html")), page);
            EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
            EXPECT_EQ(entries(), pair_);
        };
        clearFolder();
        writeOldPair();
        const FileIdentity page = identity(QStringLiteral("q.html"));
        const FileIdentity answers = identity(QStringLiteral("q.js"));
        FailStep(Step::PutInPlace, QStringLiteral("q.js"), EIO);
        const auto failure = commitPair();
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->reason, QStringLiteral("Input/output error"));
        EXPECT_TRUE(failure->left.empty()) << LeftText(failure->left);
        expectOldPair(page, answers);

        clearFolder();
        writeOldPair();
        const FileIdentity stoppedPage = identity(QStringLiteral("q.html"));
        const FileIdentity stoppedAnswers = identity(QStringLiteral("q.js"));
        ASSERT_EQ(commitStoppingWhen(Step::PutInPlace, QStringLiteral("q.js"), false, onThisFileSystem), kStopped);
        const fw::InterruptedCommit found = recover();
        EXPECT_EQ(found.outcome, Outcome::Undone);
        EXPECT_TRUE(found.left.empty()) << LeftText(found.left);
        expectOldPair(stoppedPage, stoppedAnswers);
        fw::testing::ResetFileSteps();
    }
}

// The version before wrote two more fields on each file line, the old file's
// size and time: a record it left is settled all the same.
TEST_F(StoppedCommit, ARecordOfTheVersionBeforeIsSettled) {
    writeOldPair();
    const FileIdentity page = identity(QStringLiteral("q.html"));
    const FileIdentity answers = identity(QStringLiteral("q.js"));
    ASSERT_EQ(commitStoppingWhen(Step::PutInPlace, QStringLiteral("q.js"), false), kStopped);
    QList<QByteArray> lines = readFile(QStringLiteral(".quillory3-commit")).split('\n');
    ASSERT_EQ(lines.size(), 6) << lines.join('|').toStdString();
    ASSERT_TRUE(lines[2].startsWith("file q.html ") && lines[3].startsWith("file q.js "));
    lines[2] += " 8 1700000000";
    lines[3] += " 11 1700000000";
    writeFile(QStringLiteral(".quillory3-commit"), lines.join('\n'));

    expectOldPairPutBack(recover(), page, answers);
}

// ---- Two copies of the program in one folder ----

class TwoCopies : public CommitFolder {
protected:
    // A child that commits "A page" and "A answers" and holds just before
    // putting its answers in place until the test lets it go; `withoutLocks`:
    // as on a file system that cannot lock files.
    pid_t startHeldCopy(bool withoutLocks = false) {
        const pid_t child = StartChild([this, withoutLocks] {
            if (withoutLocks) TwoCopies::withoutLocks();
            fw::testing::ObserveSteps([this](Step step, const QString& file, bool done) {
                if (step == Step::PutInPlace && file == QStringLiteral("q.js") && !done) {
                    held_.Give();
                    release_.Wait();
                }
            });
            return commitPair(QStringLiteral("A page"), QStringLiteral("A answers")) ? 1 : 0;
        });
        EXPECT_TRUE(held_.Wait());
        return child;
    }
    void expectPair(const char* page, const char* answers) {
        EXPECT_EQ(readFile(QStringLiteral("q.html")), page);
        EXPECT_EQ(readFile(QStringLiteral("q.js")), answers);
        EXPECT_EQ(entries(), pair_);
    }
    // As on a file system that cannot lock files: every try fails.
    static void withoutLocks() {
        for (int i = 0; i < 2000; ++i) FailStep(Step::Lock, QString(), ENOLCK);
    }
    // The start, which never waits for another copy; then commits wait 200 ms.
    fw::InterruptedCommit recoverAtOnce() const {
        fw::testing::SetLockTimeout(std::chrono::seconds(60));
        const auto start = std::chrono::steady_clock::now();
        const fw::InterruptedCommit found = recover();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        fw::testing::SetLockTimeout(std::chrono::milliseconds(200));
        return found;
    }
    // Replaces the process that the record says wrote it.
    void rewriteWriter(const QByteArray& boot, qint64 pid, qint64 start) {
        QList<QByteArray> lines = readFile(QStringLiteral(".quillory3-commit")).split('\n');
        ASSERT_GE(lines.size(), 2) << "no record stands";
        const QList<QByteArray> by = lines[1].split(' ');
        lines[1] = "by " + by[1] + ' ' + (boot.isEmpty() ? by[2] : boot) + ' ' + QByteArray::number(pid) + ' ' +
                   QByteArray::number(start);
        writeFile(QStringLiteral(".quillory3-commit"), lines.join('\n'));
    }
    // A copy that crashed without locks, its record naming process `pid`,
    // started at `start`: while that process runs, the start leaves it.
    void expectKeptWhileItsWriterRuns(pid_t pid, qint64 start) {
        crashWithoutLocks();
        rewriteWriter({}, pid, start);
        withoutLocks();
        EXPECT_EQ(recoverAtOnce().outcome, Outcome::None);
        EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
    }
    // A copy that dies just before its answers go in place, without locks.
    void crashWithoutLocks() {
        ASSERT_EQ(commitStoppingWhen(Step::PutInPlace, QStringLiteral("q.js"), false, withoutLocks), kStopped);
    }
    // The start of process `pid` in clock ticks after boot, the 22nd field of
    // its stat: counted after the last ")", for the command may hold blanks
    // and parentheses. 0 when unknown.
    qint64 startOf(pid_t pid) const {
        const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
        return stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(19).toLongLong();
    }
    // Every entry of the folder as it stands.
    std::vector<std::pair<QString, FileIdentity>> standing() const {
        std::vector<std::pair<QString, FileIdentity>> all;
        for (const QString& name : entries()) all.emplace_back(name, identity(name));
        return all;
    }
    Signal held_;
    Signal release_;
};

TEST_F(TwoCopies, ASecondCommitWaitsForTheFirst) {
    writeOldPair();
    const pid_t first = startHeldCopy();
    // The second copy's record stands in the folder while it commits, where
    // a third copy would find it.
    const pid_t second = StartChild([this] {
        fw::testing::ObserveSteps([this](Step step, const QString&, bool) {
            if (step == Step::PutInPlace && readFile(QStringLiteral(".quillory3-commit")).isEmpty()) ::_exit(5);
        });
        return commitPair(QStringLiteral("B page"), QStringLiteral("B answers")) ? 1 : 0;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    EXPECT_EQ(::waitpid(second, &status, WNOHANG), 0) << "the second copy did not wait";
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "A page");

    release_.Give();

    EXPECT_EQ(WaitForChild(first), 0);
    EXPECT_EQ(WaitForChild(second), 0);
    expectPair("B page", "B answers");
}

TEST_F(TwoCopies, AFolderBusyForTooLongIsReportedAndNothingIsWritten) {
    writeOldPair();
    const pid_t first = startHeldCopy();
    fw::testing::SetLockTimeout(std::chrono::milliseconds(200));

    const auto failure = commitPair(QStringLiteral("B page"), QStringLiteral("B answers"));

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->index, 0u);
    EXPECT_EQ(failure->reason, QStringLiteral("another copy of the program kept the folder busy for too long"));
    release_.Give();
    EXPECT_EQ(WaitForChild(first), 0);
    expectPair("A page", "A answers");
}

// The record of a commit that is still running is no interrupted one.
TEST_F(TwoCopies, TheStartLeavesACommitThatIsStillRunning) {
    writeOldPair();
    const pid_t first = startHeldCopy();

    EXPECT_EQ(recoverAtOnce().outcome, Outcome::None);

    release_.Give();
    EXPECT_EQ(WaitForChild(first), 0);
    expectPair("A page", "A answers");
}

// Copies that wait for one that commits go one after the other when it ends,
// never two at once, also when the record they waited on is gone and a new
// one stands in its place.
TEST_F(TwoCopies, CopiesThatWaitedCommitOneAtATime) {
    writeOldPair();
    const pid_t first = startHeldCopy();
    // A file that stands while a copy is between writing its record and
    // removing it: a second copy finding it there would be running at once.
    const QString inside = path(QStringLiteral("inside"));
    std::vector<pid_t> waiting;
    for (const char* name : {"B", "C", "D"}) {
        waiting.push_back(StartChild([&, name] {
            fw::testing::ObserveSteps([&](Step step, const QString&, bool done) {
                const QByteArray marker = QFile::encodeName(inside);
                if (step == Step::WriteJournal && done) {
                    const int fd = ::open(marker.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
                    if (fd < 0) ::_exit(6);
                    ::close(fd);
                }
                if (step == Step::RemoveJournal && !done) ::unlink(marker.constData());
            });
            return commitPair(QStringLiteral("%1 page").arg(QLatin1String(name)),
                              QStringLiteral("%1 answers").arg(QLatin1String(name)))
                       ? 1
                       : 0;
        }));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    release_.Give();
    EXPECT_EQ(WaitForChild(first), 0);
    for (const pid_t child : waiting) EXPECT_EQ(WaitForChild(child), 0);
    const QByteArray page = readFile(QStringLiteral("q.html"));
    EXPECT_TRUE(page == "B page" || page == "C page" || page == "D page") << page.toStdString();
    EXPECT_EQ(readFile(QStringLiteral("q.js")), page.left(1) + " answers");
    EXPECT_EQ(entries(), pair_);
}

// The lock is held from before the record is written until the record is
// gone: no other copy could take it at any step between.
TEST_F(TwoCopies, TheLockIsHeldUntilTheRecordIsGone) {
    writeOldPair();
    bool locked = false;
    std::vector<int> free;  // the steps at which another copy could have taken the lock
    fw::testing::ObserveSteps([&](Step step, const QString&, bool done) {
        if (step == Step::Lock && done) locked = true;
        if (!locked || done) return;
        const int fd = ::open(encoded(QStringLiteral(".quillory3-commit")), O_RDWR | O_CLOEXEC);
        if (fd < 0) return;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) free.push_back(int(step));
        ::close(fd);
    });
    ASSERT_FALSE(commitPair());
    EXPECT_TRUE(locked);
    EXPECT_TRUE(free.empty()) << ::testing::PrintToString(free);
    EXPECT_EQ(entries(), pair_);
}

// A file system that cannot lock files: the commit goes on at once, never
// waiting for a lock that will not come.
TEST_F(TwoCopies, WithoutLocksACommitGoesOnAtOnce) {
    writeOldPair();
    fw::testing::SetLockTimeout(std::chrono::seconds(60));
    withoutLocks();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_FALSE(commitPair());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    expectPair("new page", "new answers");
}

// Without locks, the record tells which process on which machine writes it:
// the start leaves a commit whose process still runs, and another commit
// waits for it; a commit whose process is gone is settled.
TEST_F(TwoCopies, WithoutLocksTheRecordsWriterDecides) {
    writeOldPair();
    const pid_t first = startHeldCopy(true);
    fw::testing::SetLockTimeout(std::chrono::milliseconds(200));

    withoutLocks();
    EXPECT_EQ(recoverAtOnce().outcome, Outcome::None);
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "A page");
    withoutLocks();
    const auto failure = commitPair(QStringLiteral("B page"), QStringLiteral("B answers"));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, QStringLiteral("another copy of the program kept the folder busy for too long"));

    release_.Give();
    EXPECT_EQ(WaitForChild(first), 0);
    expectPair("A page", "A answers");

    // A copy that died in the middle.
    crashWithoutLocks();
    withoutLocks();
    EXPECT_EQ(recover().outcome, Outcome::Undone);
    expectPair("A page", "A answers");
}

// Without locks, a record is its writer's only while that very process
// runs: one whose pid another process took since, or that was written
// before the machine started again, is settled, and one this process wrote
// is never taken for another copy's running commit.
TEST_F(TwoCopies, WithoutLocksTheWriterIsKnownByItsStartItsBootAndItsProcess) {
    writeOldPair();
    Signal release;
    const pid_t other = StartChild([&] { return release.Wait() ? 0 : 1; });
    const qint64 started = startOf(other);
    ASSERT_GT(started, 0);

    expectKeptWhileItsWriterRuns(other, started);
    rewriteWriter({}, other, started + 1);  // the pid, taken by another process since
    withoutLocks();
    EXPECT_EQ(recover().outcome, Outcome::Undone);
    expectPair("old page", "old answers");

    crashWithoutLocks();
    rewriteWriter("an-earlier-boot", other, started);
    withoutLocks();
    EXPECT_EQ(recover().outcome, Outcome::Undone);
    expectPair("old page", "old answers");
    release.Give();
    EXPECT_EQ(WaitForChild(other), 0);

    // A failed commit of this process whose undo left a file: the next one
    // settles it and saves, without waiting.
    fw::testing::SetLockTimeout(std::chrono::seconds(60));
    withoutLocks();
    FailStep(Step::PutInPlace, QStringLiteral("q.js"), EIO);
    FailStep(Step::PutBack, QStringLiteral("q.html"), EACCES);
    const auto failure = commitPair();
    ASSERT_TRUE(failure);
    ASSERT_FALSE(failure->left.empty());
    withoutLocks();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(commitPair(QStringLiteral("B page"), QStringLiteral("B answers")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    expectPair("B page", "B answers");
}

// Without locks, a commit's record keeps the folder from the moment it
// stands: a second copy waits until the first has ended, then saves its own
// pair whole; the start leaves a running commit's record and files alone,
// and once that copy has died halfway, puts the old pair back.
TEST_F(TwoCopies, WithoutLocksARunningCommitKeepsTheFolder) {
    writeOldPair();
    const pid_t first = startHeldCopy(true);
    const pid_t second = StartChild([this] {
        withoutLocks();
        return commitPair(QStringLiteral("B page"), QStringLiteral("B answers")) ? 1 : 0;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    EXPECT_EQ(::waitpid(second, &status, WNOHANG), 0) << "the second copy did not wait";
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "A page");
    EXPECT_EQ(readFile(QStringLiteral("q.js")), "old answers");
    release_.Give();
    EXPECT_EQ(WaitForChild(first), 0);
    EXPECT_EQ(WaitForChild(second), 0);
    expectPair("B page", "B answers");

    const struct {
        Step step;
        const char* file;
    } holds[] = {
        {Step::WriteJournal, ""},    // only the claim stands
        {Step::SyncKept, ""},        // the old files kept, the new ones written
        {Step::PutInPlace, "q.js"},  // the new page in place
    };
    for (const auto& hold : holds) {
        SCOPED_TRACE(int(hold.step));
        clearFolder();
        writeOldPair();
        const FileIdentity page = identity(QStringLiteral("q.html"));
        const FileIdentity answers = identity(QStringLiteral("q.js"));
        const pid_t copy = StartChild([&] {
            withoutLocks();
            fw::testing::ObserveSteps([&](Step step, const QString& file, bool done) {
                if (done) return;
                if (step == hold.step && file == QLatin1String(hold.file)) {
                    held_.Give();
                    release_.Wait();
                }
                if (step == Step::PutInPlace && file == QStringLiteral("q.js")) ::_exit(kStopped);
            });
            return commitPair() ? 1 : 0;
        });
        ASSERT_TRUE(held_.Wait());
        const auto running = standing();
        withoutLocks();
        EXPECT_EQ(recoverAtOnce().outcome, Outcome::None);
        EXPECT_EQ(standing(), running);

        release_.Give();
        ASSERT_EQ(WaitForChild(copy), kStopped);
        withoutLocks();
        expectOldPairPutBack(recover(), page, answers);
    }
}

// A hidden version of the record that a crash left before it took the
// record's name goes at the next start once its writer no longer runs; while
// it runs, without locks, it stays; a file of that name that is no whole
// record stays. A writer is known by its process also where its program's
// name holds blanks and parentheses, as a file manager's copy has it.
TEST_F(TwoCopies, WithoutLocksWhatAWriterLeftGoesOnlyOnceItNoLongerRuns) {
    writeOldPair();
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    QFile bootId(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    ASSERT_TRUE(bootId.open(QIODevice::ReadOnly));
    const QByteArray boot = bootId.readAll().trimmed();
    Signal release;
    const pid_t writer = StartChild([&] { return release.Wait() ? 0 : 1; });
    const qint64 started = startOf(writer);
    ASSERT_GT(started, 0);
    const QString hidden = QStringLiteral(".quillory3-commit.Ab3De5Gh");
    const QByteArray claim = "quillory3 commit\nby " + QByteArray(host).toPercentEncoding() + ' ' +
                             boot.toPercentEncoding() + ' ' + QByteArray::number(writer) + ' ' +
                             QByteArray::number(started) + "\nbegun\n";
    const QStringList withHidden{hidden, QStringLiteral("q.html"), QStringLiteral("q.js")};

    // While its writer runs it stays, also unlocked: a writer locks it only
    // once it is written.
    for (const bool locks : {true, false}) {
        writeFile(hidden, claim);
        if (!locks) withoutLocks();
        EXPECT_EQ(recoverAtOnce().outcome, Outcome::None);
        EXPECT_EQ(readFile(hidden), claim);
        EXPECT_EQ(entries(), withHidden);
    }
    release.Give();
    ASSERT_EQ(WaitForChild(writer), 0);

    for (const bool locks : {true, false}) {
        SCOPED_TRACE(locks);
        writeFile(hidden, claim);
        if (!locks) withoutLocks();
        EXPECT_EQ(recover().outcome, Outcome::None);
        EXPECT_EQ(entries(), pair_);
        for (const QByteArray& notWhole : {QByteArray(), claim.chopped(3)}) {
            SCOPED_TRACE(notWhole.toStdString());
            writeFile(hidden, notWhole);
            if (!locks) withoutLocks();
            EXPECT_EQ(recover().outcome, Outcome::None);
            EXPECT_EQ(entries(), withHidden);
            EXPECT_EQ(readFile(hidden), notWhole);
        }
        ASSERT_TRUE(QFile::remove(path(hidden)));
    }

    // The writer of a crashed commit: a copy of a program named
    // "quillory3 (2)" that runs on.
    QTemporaryDir programs;
    ASSERT_TRUE(programs.isValid());
    const QByteArray program = QFile::encodeName(QDir(programs.path()).filePath(QStringLiteral("quillory3 (2)")));
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), QFile::decodeName(program)));
    ASSERT_EQ(::chmod(program.constData(), 0755), 0);
    std::fflush(nullptr);
    const pid_t copy = ::fork();
    if (copy == 0) {
        char* const arguments[] = {const_cast<char*>(program.constData()), const_cast<char*>("30"), nullptr};
        ::execv(program.constData(), arguments);
        ::_exit(127);
    }
    ASSERT_GT(copy, 0);
    struct Stopper {
        pid_t pid;
        ~Stopper() {
            if (pid <= 0) return;
            ::kill(pid, SIGKILL);
            WaitForChild(pid);
        }
    } stopper{copy};
    QByteArray stat;
    for (int tries = 0; tries < 500 && !stat.contains(" (quillory3 (2)) "); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        stat = readFile(QStringLiteral("/proc/%1/stat").arg(copy));
    }
    ASSERT_TRUE(stat.contains(" (quillory3 (2)) ")) << stat.toStdString();
    const qint64 copyStarted = startOf(copy);
    ASSERT_GT(copyStarted, 0);

    expectKeptWhileItsWriterRuns(copy, copyStarted);
    ::kill(copy, SIGKILL);
    EXPECT_EQ(WaitForChild(copy), 128 + SIGKILL);
    stopper.pid = 0;
    withoutLocks();
    EXPECT_EQ(recover().outcome, Outcome::Undone);
    expectPair("old page", "old answers");
}

// ---- A user who may not replace a file ----

class AnotherUser : public CommitFolder {
protected:
    // Commits as the unprivileged user; 0 when the commit fails with `reason`
    // for `file`.
    int commitAsNobody(const QString& file, const QString& reason) {
        return RunInChild([&] {
            if (!BecomeNobody()) return 90;
            const auto failure = commitPair();
            if (!failure) return 91;
            if (failure->path != encodedPath(file)) return 92;
            return failure->reason == reason ? 0 : 93;
        });
    }
    void own(const QString& name, uid_t user, mode_t mode) {
        ASSERT_EQ(::chown(encoded(name), user, user), 0);
        ASSERT_EQ(::chmod(encoded(name), mode), 0);
    }
};

TEST_F(AnotherUser, AFileTheUserMayNotWriteIsNotReplaced) {
    SKIP_UNLESS_ROOT("a child that becomes another user");
    writeOldPair();
    ASSERT_EQ(::chown(QFile::encodeName(folder_.path()).constData(), kNobody, kNobody), 0);
    own(QStringLiteral("q.html"), kNobody, 0644);
    own(QStringLiteral("q.js"), kNobody, 0444);
    const FileIdentity page = identity(QStringLiteral("q.html"));
    const FileIdentity answers = identity(QStringLiteral("q.js"));

    EXPECT_EQ(commitAsNobody(QStringLiteral("q.js"), QStringLiteral("Permission denied")), 0);

    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
    EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
    EXPECT_EQ(entries(), pair_);
}

// In a shared folder with the sticky bit, a colleague's file could be
// replaced but its kept copy never removed again: refused before anything
// is made.
TEST_F(AnotherUser, AColleaguesFileInAStickyFolderIsNotReplaced) {
    SKIP_UNLESS_ROOT("a child that becomes another user");
    writeOldPair();
    ASSERT_EQ(::chmod(QFile::encodeName(folder_.path()).constData(), 01777), 0);
    own(QStringLiteral("q.html"), kNobody, 0644);
    own(QStringLiteral("q.js"), 0, 0666);
    const FileIdentity page = identity(QStringLiteral("q.html"));
    const FileIdentity answers = identity(QStringLiteral("q.js"));

    EXPECT_EQ(commitAsNobody(QStringLiteral("q.js"), QStringLiteral("Operation not permitted")), 0);

    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
    EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
    EXPECT_EQ(entries(), pair_);

    // The user's own files in the same folder are replaced.
    own(QStringLiteral("q.js"), kNobody, 0644);
    EXPECT_EQ(commitAsNobody(QString(), QString()), 91);
    EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
    EXPECT_EQ(entries(), pair_);
}

}  // namespace
