// Commits that do not run alone or to their end: a process that stops at
// any step (as a crash or a power cut stops it) and the recovery the next
// start runs; two copies of the program committing into one folder; a user
// who may not replace a file. Each runs in forked child processes, so it
// holds for root as for anyone.
#include "support/Forked.h"
#include "files/CommitFolder.h"

#include <QRegularExpression>
#include <cerrno>
#include <grp.h>
#include <thread>
#include <unistd.h>

namespace {

using fw::testing::FailStep;
using fw::testing::Step;
using Outcome = fw::InterruptedCommit::Outcome;

constexpr int kStopped = 3;  // the status of a child that stopped at its step
constexpr uid_t kNobody = 65534;

// ---- A stop at every step, then the next start ----

class StoppedCommit : public CommitFolder {
protected:
    enum class Before { Nothing, OldPair, OldPairWithoutLinks };

    // Commits in a child that stops at its n-th step, before or after taking
    // it; the child's status: kStopped, or 0 when the commit ended first.
    int commitStoppingAt(int n, bool after, Before before) {
        return RunInChild([&] {
            int seen = 0;
            fw::testing::ObserveSteps([&](Step, const QString&, bool done) {
                if (done == after && ++seen == n) ::_exit(kStopped);
            });
            if (before == Before::OldPairWithoutLinks) {
                FailStep(Step::Link, QStringLiteral("q.html"), EXDEV);
                FailStep(Step::Link, QStringLiteral("q.js"), EXDEV);
            }
            return commitPair() ? 1 : 0;
        });
    }

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

                const int status = commitStoppingAt(n, after, before);
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

// A record cut off while it was written: the commit had changed nothing, and
// the record goes without a word.
TEST_F(StoppedCommit, ARecordCutOffWhileWrittenIsDropped) {
    writeOldPair();
    writeFile(QStringLiteral(".quillory3-commit"), "quillory3 commit\nfile /a/q.html /a/q.html /a/.ab");
    EXPECT_EQ(recover().outcome, Outcome::None);
    EXPECT_EQ(entries(), pair_);
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

// ---- Two copies of the program in one folder ----

class TwoCopies : public CommitFolder {
protected:
    // A child that commits "A page" and "A answers" and holds just before
    // putting its answers in place until the test lets it go.
    pid_t startHeldCopy() {
        const pid_t child = StartChild([this] {
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
    fw::testing::SetLockTimeout(std::chrono::milliseconds(200));

    EXPECT_EQ(recover().outcome, Outcome::None);

    release_.Give();
    EXPECT_EQ(WaitForChild(first), 0);
    expectPair("A page", "A answers");
}

// ---- A user who may not replace a file ----

class AnotherUser : public CommitFolder {
protected:
    // Commits as the unprivileged user; 0 when the commit fails with `reason`
    // for `file`.
    int commitAsNobody(const QString& file, const QString& reason) {
        return RunInChild([&] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return 90;
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
