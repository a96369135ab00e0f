// What the commit finds on the disk and did not make: links and records
// planted by another user in a shared folder, a folder moved or copied after
// a crash, one file under two names. The commit and the next start act only
// on the files the commit itself names, as the system's own rules allow.
#include "files/CommitFolder.h"
#include "support/RawFolders.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using fw::testing::Step;
using Outcome = fw::InterruptedCommit::Outcome;

constexpr uid_t kThirdUser = 1;  // daemon: neither root nor nobody

// A shared folder beside the program's (mode 1777 unless a test changes it),
// and a file of the teacher's elsewhere that a planted link points to.
class SharedFolder : public CommitFolder {
protected:
    void SetUp() override {
        CommitFolder::SetUp();
        ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("home")));
        writeFile(QStringLiteral("home/thesis.tex"), "the thesis");
        ASSERT_EQ(::chmod(folder().constData(), 01777), 0);
        // The teacher is nobody where a test can become another user.
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(encoded(QStringLiteral("home")), kNobody, kNobody), 0);
            ASSERT_EQ(::chown(encoded(QStringLiteral("home/thesis.tex")), kNobody, kNobody), 0);
        }
    }
    // Every file as it stands, to compare after a recovery that must touch none.
    std::vector<std::pair<QString, FileIdentity>> everything() const {
        std::vector<std::pair<QString, FileIdentity>> all;
        for (const QString& name : entries()) all.emplace_back(name, standing(name));
        for (const QString& name : entriesOf(path(QStringLiteral("home"))))
            all.emplace_back(QStringLiteral("home/") + name, standing(QStringLiteral("home/") + name));
        return all;
    }
    // A FIFO is never opened: reading one waits for a writer.
    FileIdentity standing(const QString& name) const {
        struct stat st {};
        if (::stat(encodedPath(name).constData(), &st) == 0 && S_ISFIFO(st.st_mode))
            return {st.st_ino, mode_t(st.st_mode & 07777), {}};
        return identity(name);
    }
    // A symbolic link `name` to `to`, owned by `user`.
    void plantLink(const QString& name, const QByteArray& to, uid_t user) {
        ASSERT_EQ(::symlink(to.constData(), encoded(name)), 0);
        ASSERT_EQ(::lchown(encoded(name), user, user), 0);
    }
    // Commits q.html and q.js in a child that becomes nobody: 0 when it
    // fails for `index` with `reason`, 10 + the index when it fails for
    // another, 20 when it succeeds.
    int commitAsNobody(std::size_t index, const QString& reason) const {
        return RunInChild([&] {
            if (!BecomeNobody()) return 90;
            const auto failure = commitPair();
            if (!failure) return 20;
            if (failure->index != index) return 10 + int(failure->index);
            return failure->reason == reason ? 0 : 30;
        });
    }
};

// ---- Links ----

// In a shared folder, a link is followed only where the system would follow
// it: a colleague's link to a file of the teacher's is refused before
// anything is written, a link of the teacher's own or of the folder's owner
// is followed.
TEST_F(SharedFolder, ALinkIsFollowedOnlyAsTheSystemWouldFollowIt) {
    SKIP_UNLESS_ROOT("links and folders owned by other users");
    const FileIdentity thesis = identity(QStringLiteral("home/thesis.tex"));
    plantLink(QStringLiteral("q.html"), "home/thesis.tex", kThirdUser);

    EXPECT_EQ(commitAsNobody(0, QStringLiteral("Permission denied")), 0);
    EXPECT_EQ(identity(QStringLiteral("home/thesis.tex")), thesis);
    // The system's rule holds for root too.
    const auto refused = commitPair();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->index, 0u);
    EXPECT_EQ(refused->reason, QStringLiteral("Permission denied"));
    EXPECT_EQ(identity(QStringLiteral("home/thesis.tex")), thesis);
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("home"), QStringLiteral("q.html")}));

    // A link of the folder's owner (root here) is followed.
    ASSERT_EQ(::lchown(encoded(QStringLiteral("q.html")), 0, 0), 0);
    EXPECT_EQ(commitAsNobody(0, QString()), 20);
    EXPECT_EQ(readFile(QStringLiteral("home/thesis.tex")), "new page");
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("q.html"))).isSymLink());
}

// Each link of a chain is checked where it stands.
TEST_F(SharedFolder, EveryLinkOfAChainIsChecked) {
    SKIP_UNLESS_ROOT("links owned by other users");
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("drop")));
    ASSERT_EQ(::chmod(encoded(QStringLiteral("drop")), 01777), 0);
    ASSERT_EQ(::chown(encoded(QStringLiteral("drop")), kThirdUser, kThirdUser), 0);
    plantLink(QStringLiteral("drop/next"), "../home/thesis.tex", kNobody);
    plantLink(QStringLiteral("q.js"), "drop/next", 0);
    const FileIdentity thesis = identity(QStringLiteral("home/thesis.tex"));

    // Root follows its own link, but not nobody's link in a shared folder of
    // a third user's.
    const auto refused = commitPair();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->index, 1u);
    EXPECT_EQ(refused->reason, QStringLiteral("Permission denied"));
    EXPECT_EQ(identity(QStringLiteral("home/thesis.tex")), thesis);
    EXPECT_FALSE(fileExists(QStringLiteral("q.html")));

    // Nobody follows its own links.
    EXPECT_EQ(commitAsNobody(0, QString()), 20);
    EXPECT_EQ(readFile(QStringLiteral("home/thesis.tex")), "new answers");
}

// ---- A colleague's commit ----

// A colleague's "Done" into the shared folder that is still running, its
// record in place: the start leaves it alone at once, and the next "Done"
// waits until it has ended, then commits its own pair.
TEST_F(SharedFolder, AColleaguesDoneThatIsStillRunningIsWaitedFor) {
    SKIP_UNLESS_ROOT("a colleague who is another user");
    const Signal holds;
    const Signal release;
    const pid_t colleague = StartChild([&] {
        if (!BecomeNobody()) return 90;
        fw::testing::ObserveSteps([&](Step step, const QString& file, bool done) {
            if (step != Step::PutInPlace || file != QStringLiteral("q.js") || done) return;
            holds.Give();
            if (!release.Wait()) ::_exit(91);
        });
        return commitPair() ? 1 : 0;
    });
    if (!holds.Wait(20)) {
        ::kill(colleague, SIGKILL);
        FAIL() << "the colleague's commit never reached q.js; its status: " << WaitForChild(colleague);
    }
    const auto held = everything();

    QElapsedTimer timer;
    timer.start();
    const fw::InterruptedCommit found = recover();
    EXPECT_LT(timer.elapsed(), 1000) << "the start waited for the colleague";
    EXPECT_TRUE(found.outcome == Outcome::Foreign || found.outcome == Outcome::None) << int(found.outcome);
    EXPECT_TRUE(found.left.empty()) << LeftText(found.left);
    EXPECT_EQ(everything(), held);

    const pid_t next = StartChild(
        [this] { return commitIn(folder(), QStringLiteral("B page"), QStringLiteral("B answers")) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    siginfo_t ended{};
    const bool waits = ::waitid(P_PID, id_t(next), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == 0;
    EXPECT_TRUE(waits) << "the next commit ended while the colleague's still ran";
    EXPECT_EQ(everything(), held);
    release.Give();

    EXPECT_EQ(WaitForChild(colleague), 0);
    EXPECT_EQ(WaitForChild(next), 0);
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "B page");
    EXPECT_EQ(readFile(QStringLiteral("q.js")), "B answers");
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("home"), QStringLiteral("q.html"), QStringLiteral("q.js")}));
}

// ---- One file under two names ----

TEST_F(CommitFolder, TwoTargetsThatAreOneFileAreRefused) {
    const auto link = [this](const char* name, const char* to) {
        ASSERT_EQ(::symlink(to, encoded(QString::fromLatin1(name))), 0);
    };
    const std::function<void()> setups[] = {
        [&] { writeOldPair(), QFile::remove(path(QStringLiteral("q.html"))), link("q.html", "q.js"); },
        [&] { writeFile(QStringLiteral("shared"), "old"), link("q.html", "shared"), link("q.js", "shared"); },
        [&] { link("q.html", "missing"), link("q.js", "./missing"); },
        [&] {
            writeFile(QStringLiteral("q.js"), "old answers");
            ASSERT_EQ(::link(encoded(QStringLiteral("q.js")), encodedPath(QStringLiteral("q.html")).constData()), 0);
        },
    };
    for (std::size_t row = 0; row < std::size(setups); ++row) {
        SCOPED_TRACE(row);
        clearFolder();
        setups[row]();
        const QStringList before = entries();
        std::vector<FileIdentity> identities;
        for (const QString& name : before) identities.push_back(identity(name));

        const auto failure = commitPair();

        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->index, 1u);
        EXPECT_EQ(failure->sameAs, 0u);
        EXPECT_EQ(failure->reason, QStringLiteral("it is the same file as \"%1\"").arg(path(QStringLiteral("q.html"))));
        EXPECT_EQ(entries(), before);
        for (std::size_t i = 0; i < identities.size(); ++i) EXPECT_EQ(identity(before[int(i)]), identities[i]);
    }
}

// Two file systems mounted afresh give their first files the same inode
// number: on two devices, they are two files, and each is replaced.
TEST_F(CommitFolder, TwoFilesOnTwoFileSystemsThatShareAnInodeNumberAreTwoFiles) {
    SKIP_UNLESS_ROOT("mounting file systems");
    enum Status { kReplaced, kRefusedAsOneFile, kRefused, kNotReplaced, kLeftBehind, kOtherInodes, kNoMounts };
    const char* const told[] = {
        "replaced",
        "refused as one file",
        "refused",
        "the linked files do not hold the new texts",
        "a file left behind, or a link replaced",
        "",
        "the two file systems could not be mounted",
    };
    const QByteArray disks[] = {encodedPath(QStringLiteral("disk1")), encodedPath(QStringLiteral("disk2"))};
    for (const QByteArray& disk : disks) ASSERT_EQ(::mkdir(disk.constData(), 0755), 0);

    // The mounts live in the child's own namespace and end with it.
    const int status = RunInChild([&]() -> int {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return kNoMounts;
        struct stat files[2]{};
        for (int i = 0; i < 2; ++i) {
            const QByteArray file = disks[i] + "/shared";
            if (::mount("none", disks[i].constData(), "tmpfs", 0, nullptr) != 0 || !RawWrite(file, "old") ||
                ::stat(file.constData(), &files[i]) != 0)
                return kNoMounts;
        }
        if (files[0].st_dev == files[1].st_dev) return kNoMounts;
        if (files[0].st_ino != files[1].st_ino) return kOtherInodes;
        if (::symlink("disk1/shared", encoded(QStringLiteral("q.html"))) != 0 ||
            ::symlink("disk2/shared", encoded(QStringLiteral("q.js"))) != 0)
            return kNoMounts;

        if (const auto failure = commitPair())
            return failure->sameAs != fw::CommitFailure::kNone ? kRefusedAsOneFile : kRefused;
        if (RawRead(disks[0] + "/shared") != "new page" || RawRead(disks[1] + "/shared") != "new answers")
            return kNotReplaced;
        const std::vector<QByteArray> one{"shared"};
        const QStringList folder{QStringLiteral("disk1"), QStringLiteral("disk2"), QStringLiteral("q.html"),
                                 QStringLiteral("q.js")};
        const bool links = QFileInfo(path(QStringLiteral("q.html"))).isSymLink() &&
                           QFileInfo(path(QStringLiteral("q.js"))).isSymLink();
        if (RawEntries(disks[0]) != one || RawEntries(disks[1]) != one || entries() != folder || !links)
            return kLeftBehind;
        return kReplaced;
    });

    if (status == kOtherInodes) GTEST_SKIP() << "two fresh tmpfs gave their first files different inode numbers";
    EXPECT_EQ(status, kReplaced) << (status >= 0 && status < int(std::size(told)) ? told[status] : "the child failed");
}

// ---- Records ----

class PlantedRecord : public SharedFolder {
protected:
    void writeRecord(const QByteArray& files) {
        writeFile(QStringLiteral(".quillory3-commit"), "quillory3 commit\nby host boot 1 1\n" + files + "begun\n");
    }
};

// A record that names anything but its targets and hidden names of the
// program's pattern beside them is not used: nothing is touched, the start
// says so, and "Done" refuses the folder until the record is removed.
TEST_F(PlantedRecord, ARecordThatNamesOtherFilesTouchesNothing) {
    writeOldPair();
    writeFile(QStringLiteral(".abcde"), "a hidden file of the teacher's");
    writeFile(QStringLiteral(".abc"), "another");
    const QByteArray rows[] = {
        "file home%2Fthesis.tex - .abcdefghi 0 0\n",                   // a path, not a bare name
        "file .. - .a 0 0\n",                                          // the folder above
        "file q.html .abcde home%2Fthesis.tex 0 0\n",                  // a temporary that is not hidden
        "file q.html - q.js 0 0\n",                                    // another target as the temporary
        "file q.html .abcd .abcde 0 0\n",                              // a kept name of the wrong length
        "file q.html - .abcde 0 0\nfile q.html - .fghij 0 0\n",        // one target twice
        "file q.html .abcde .abcde 0 0\n",                             // one hidden name twice
        "file .quillory3-commit - .abcdefghijk 0 0\n",                 // the record itself
        "file /work/q.html /work/q.html /work/.abcde /work/.fghij\n",  // an older program's record
    };
    for (const QByteArray& row : rows) {
        SCOPED_TRACE(row.toStdString());
        writeRecord(row);
        const auto before = everything();

        const fw::InterruptedCommit found = recover();

        EXPECT_EQ(found.outcome, Outcome::Unreadable);
        EXPECT_FALSE(found.reason.isEmpty());
        EXPECT_EQ(everything(), before);
        const auto refused = commitPair();
        ASSERT_TRUE(refused);
        EXPECT_TRUE(refused->reason.contains(path(QStringLiteral(".quillory3-commit")))) << refused->reason;
        EXPECT_EQ(everything(), before);
    }
}

// A record of the user's own that no commit of this program writes, a file
// with a second name, and a FIFO at the record's name: the start touches
// nothing and says so, and "Done" refuses the folder, naming the record.
TEST_F(PlantedRecord, ARecordOfTheUsersOwnThatIsNoRecordTouchesNothing) {
    writeOldPair();
    writeFile(QStringLiteral("notes.txt"), "old page");  // the teacher's copy of the page
    writeFile(QStringLiteral(".abcde"), "a hidden file of the teacher's");
    const QString record = path(QStringLiteral(".quillory3-commit"));
    const auto expectUntouched = [&](const std::vector<std::pair<QString, FileIdentity>>& before) {
        const fw::InterruptedCommit found = recover();
        EXPECT_EQ(found.outcome, Outcome::Unreadable);
        EXPECT_EQ(everything(), before);
        const auto refused = commitPair();
        ASSERT_TRUE(refused);
        EXPECT_TRUE(refused->reason.contains(record)) << refused->reason;
        EXPECT_EQ(everything(), before);
    };

    const QByteArray rows[] = {
        "file q.html notes.txt .abcde\n",          // a visible file as the kept page: an undo would remove it
        "file q.html .abcde notes.txt\n",          // a visible file as the new page
        "file q.html - q.js\nfile q.js - .abc\n",  // the other target as the new page
    };
    for (const QByteArray& row : rows) {
        SCOPED_TRACE(row.toStdString());
        writeRecord(row);
        expectUntouched(everything());
    }

    // A record given up as undone that names the teacher's settings, and notes.
    writeFile(QStringLiteral("pref.txt"), "the teacher's settings\n");
    const QByteArray texts[] = {
        "quillory3 commit\nby host boot 1 1\nfile pref.txt - .abcdefg\nfile pref.js - .abcdef\nbegun\nundone\n",
        "quillory3 commit\nby host boot 1 1\nfile pref.txt - .abcdefg\nbegun\nundone\n",
        "my notes\n",
    };
    for (const QByteArray& text : texts) {
        SCOPED_TRACE(text.toStdString());
        writeFile(QStringLiteral(".quillory3-commit"), text);
        expectUntouched(everything());
    }

    // The record's name as a second name of the teacher's grades, and a whole
    // record undone that a backup keeps under a second name.
    ASSERT_TRUE(QFile::remove(record));
    writeFile(QStringLiteral("grades.csv"), "name,grade\n");
    ASSERT_EQ(
        ::link(encoded(QStringLiteral("grades.csv")), encodedPath(QStringLiteral(".quillory3-commit")).constData()), 0);
    expectUntouched(everything());
    ASSERT_TRUE(QFile::remove(record));
    writeFile(QStringLiteral(".quillory3-commit"),
              "quillory3 commit\nby host boot 1 1\nfile q.html - .xyzab\nfile q.js - .xyz\nbegun\nundone\n");
    ASSERT_EQ(
        ::link(encoded(QStringLiteral(".quillory3-commit")), encodedPath(QStringLiteral("record.bak")).constData()), 0);
    expectUntouched(everything());
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("record.bak"))));

    ASSERT_TRUE(QFile::remove(record));
    ASSERT_EQ(::mkfifo(encoded(QStringLiteral(".quillory3-commit")), 0600), 0);
    const auto before = everything();
    // Opening a FIFO to read waits for a writer: the start and "Done" run
    // first in a child that may not hang the tests.
    const int status = WaitForChild(StartChild([this] {
                                        recover();
                                        commitPair();
                                        return 0;
                                    }),
                                    10);
    ASSERT_EQ(status, 0) << "the start or \"Done\" waited on the FIFO";
    expectUntouched(before);
    struct stat st {};
    EXPECT_TRUE(::lstat(encoded(QStringLiteral(".quillory3-commit")), &st) == 0 && S_ISFIFO(st.st_mode));
}

// A record another user wrote, or a link in its place, never steers the
// commit or the start: it is not read, not written and not removed.
TEST_F(PlantedRecord, ARecordOfAnotherUserIsNeverUsed) {
    writeOldPair();
    // A link where the record goes, to a file of the teacher's.
    ASSERT_EQ(::symlink("home/thesis.tex", encoded(QStringLiteral(".quillory3-commit"))), 0);
    const auto linked = everything();
    EXPECT_EQ(recover().outcome, Outcome::Unreadable);
    EXPECT_TRUE(commitPair());
    EXPECT_EQ(everything(), linked);
    QFile::remove(path(QStringLiteral(".quillory3-commit")));

    if (!HasRootFor("a record owned by another user")) return;
    writeFile(QStringLiteral(".abcde"), "a hidden file of the teacher's");
    writeRecord("file q.html - .abcde 0 0\nfile q.js - .abc 0 0\n");
    ASSERT_EQ(::chown(encoded(QStringLiteral(".quillory3-commit")), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(encoded(QStringLiteral(".quillory3-commit")), 0666), 0);
    const auto before = everything();
    fw::testing::SetLockTimeout(std::chrono::milliseconds(200));

    const fw::InterruptedCommit found = recover();

    EXPECT_EQ(found.outcome, Outcome::Foreign);
    EXPECT_EQ(found.record, encodedPath(QStringLiteral(".quillory3-commit")));
    EXPECT_EQ(everything(), before);
    const auto refused = commitPair();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->reason, QStringLiteral("the record \"%1\" in this folder belongs to another user")
                                   .arg(path(QStringLiteral(".quillory3-commit"))));
    EXPECT_EQ(everything(), before);
}

// ---- Folders moved or copied after a crash ----

class MovedFolder : public CommitFolder {
protected:
    QString inside(const QString& folder, const QString& name) const { return QDir(folder).filePath(name); }
    QByteArray read(const QString& file) const {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    void writeIn(const QString& folder, const QString& name, const QByteArray& bytes) const {
        QFile out(inside(folder, name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }
    // Whether `folder` holds exactly one whole pair, old or new, or no pair
    // where there was none, and nothing else.
    void expectWholePair(const QString& folder, bool hadOldPair) const {
        const QByteArray page = read(inside(folder, QStringLiteral("q.html")));
        if (page == "new page") {
            EXPECT_EQ(read(inside(folder, QStringLiteral("q.js"))), "new answers");
            EXPECT_EQ(entriesOf(folder), pair_);
        } else if (hadOldPair) {
            EXPECT_EQ(page, "old page");
            EXPECT_EQ(read(inside(folder, QStringLiteral("q.js"))), "old answers");
            EXPECT_EQ(entriesOf(folder), pair_);
        } else {
            EXPECT_EQ(entriesOf(folder), QStringList()) << entriesOf(folder).join(' ').toStdString();
        }
    }
    // A commit stopped at each of its steps in turn in the folder "stick",
    // which `after` then renames or copies; the next start runs in the
    // folder named `settled`.
    template <typename After>
    void stopAtEveryStep(bool oldPair, After after) {
        int stops = 0;
        for (int n = 1;; ++n) {
            SCOPED_TRACE(n);
            ASSERT_LT(n, 40) << "the commit never ends";
            for (const QString& name : entries()) {
                const QFileInfo info(path(name));
                if (info.isDir()) QDir(info.filePath()).removeRecursively();
            }
            clearFolder();
            const QString stick = path(QStringLiteral("stick"));
            ASSERT_TRUE(QDir().mkdir(stick));
            writeFile(QStringLiteral("outside"), "a file beside the folder");
            if (oldPair) {
                writeIn(stick, QStringLiteral("q.html"), "old page");
                writeIn(stick, QStringLiteral("q.js"), "old answers");
            }
            const int status = commitStoppingAt(QFile::encodeName(stick), n, false);
            if (status == 0) break;
            ASSERT_EQ(status, kStopped);
            ++stops;
            after(stick);
            EXPECT_EQ(readFile(QStringLiteral("outside")), "a file beside the folder");
        }
        EXPECT_GT(stops, 5);
    }
};

// A stick pulled out in the middle of "Done" and mounted again under
// another name: the start settles the folder under its new name.
TEST_F(MovedFolder, AFolderRenamedAfterACrashSettlesUnderItsNewName) {
    for (const bool oldPair : {true, false}) {
        SCOPED_TRACE(oldPair);
        stopAtEveryStep(oldPair, [&](const QString& stick) {
            const QString moved = path(QStringLiteral("STICK1"));
            ASSERT_TRUE(QDir().rename(stick, moved));
            const fw::InterruptedCommit found = fw::RecoverInterruptedCommit(QFile::encodeName(moved));
            EXPECT_NE(found.outcome, Outcome::Unreadable) << found.reason.toStdString();
            EXPECT_TRUE(found.left.empty()) << LeftText(found.left);
            expectWholePair(moved, oldPair);
        });
    }
}

// A backup copied with its hidden files after a crash: each folder settles
// by itself, and starting in the copy never touches the original.
TEST_F(MovedFolder, ACopyAndItsOriginalSettleApart) {
    for (const bool oldPair : {true, false}) {
        SCOPED_TRACE(oldPair);
        stopAtEveryStep(oldPair, [&](const QString& stick) {
            const QString copy = path(QStringLiteral("backup"));
            ASSERT_TRUE(QDir().mkdir(copy));
            for (const QString& name : entriesOf(stick))
                ASSERT_TRUE(QFile::copy(inside(stick, name), inside(copy, name)));

            fw::RecoverInterruptedCommit(QFile::encodeName(stick));
            expectWholePair(stick, oldPair);
            // A new test made in the original after it settled.
            ASSERT_FALSE(
                commitIn(QFile::encodeName(stick), QStringLiteral("newer page"), QStringLiteral("newer answers")));

            const fw::InterruptedCommit found = fw::RecoverInterruptedCommit(QFile::encodeName(copy));
            EXPECT_TRUE(found.left.empty()) << LeftText(found.left);
            expectWholePair(copy, oldPair);
            EXPECT_EQ(read(inside(stick, QStringLiteral("q.html"))), "newer page");
            EXPECT_EQ(read(inside(stick, QStringLiteral("q.js"))), "newer answers");
            EXPECT_EQ(entriesOf(stick), pair_);
        });
    }
}

}  // namespace
