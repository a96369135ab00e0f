// Output files put in place together or not at all, on a real folder. Faults
// come from the file layer's test seam or from the folder itself, so that
// they hold for every user, root included. A commit that does not run alone
// or to its end: interrupted_commit_test.
#include "files/CommitFolder.h"
#include "framework/files/FileStepFaults.h"
#include "support/FileIdentity.h"
#include "support/RawFolders.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <acl/libacl.h>
#include <algorithm>
#include <cerrno>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using fw::testing::FailStep;
using fw::testing::Step;
using Outcome = fw::InterruptedCommit::Outcome;

// ---- A step that fails: the old pair is back, nothing else is left ----

TEST_F(CommitFolder, AFailedStepPutsTheOldFilesBack) {
    const struct {
        Step step;
        const char* file;
        std::size_t index;  // of the failure reported
    } rows[] = {
        {Step::WriteJournal, "", 0}, {Step::CreateFile, "q.js", 1},   {Step::SyncFile, "q.html", 0},
        {Step::Link, "q.js", 1},     {Step::PutInPlace, "q.html", 0}, {Step::PutInPlace, "q.js", 1},
        {Step::SyncKept, "", 0},     {Step::SyncPlaced, "", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.step));
        writeOldPair();
        const FileIdentity page = identity(QStringLiteral("q.html"));
        const FileIdentity answers = identity(QStringLiteral("q.js"));
        FailStep(row.step, QString::fromLatin1(row.file), EIO);
        // A link that fails is followed by moving the file aside: fail that too.
        if (row.step == Step::Link) FailStep(Step::MoveAside, QString::fromLatin1(row.file), EIO);

        const auto failure = commitPair();

        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->index, row.index);
        EXPECT_EQ(failure->path, encodedPath(pair_[int(row.index)]));
        EXPECT_EQ(failure->reason, QStringLiteral("Input/output error"));
        EXPECT_EQ(identity(QStringLiteral("q.html")), page);
        EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
        EXPECT_EQ(entries(), pair_);
    }
}

TEST_F(CommitFolder, AFailedStepRemovesNewFilesThatHadNoPredecessor) {
    for (const Step step : {Step::CreateFile, Step::PutInPlace, Step::SyncPlaced}) {
        SCOPED_TRACE(int(step));
        FailStep(step, step == Step::SyncPlaced ? QString() : QStringLiteral("q.js"), ENOSPC);
        const auto failure = commitPair();
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->reason, QStringLiteral("No space left on device"));
        EXPECT_TRUE(entries().isEmpty()) << entries().join(' ');
    }
}

// An undo that cannot put an old file back stops there, says where each file
// is, and leaves the record for the next start, which goes on with it.
TEST_F(CommitFolder, AnUndoThatFailsSaysWhereTheOldFileIsAndTheNextStartPutsItBack) {
    writeOldPair();
    const FileIdentity page = identity(QStringLiteral("q.html"));
    const FileIdentity answers = identity(QStringLiteral("q.js"));
    FailStep(Step::PutInPlace, QStringLiteral("q.js"), EIO);
    FailStep(Step::PutBack, QStringLiteral("q.html"), EACCES);

    const auto failure = commitPair();

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, QStringLiteral("Input/output error"));
    EXPECT_FALSE(fileExists(QStringLiteral("q.html")));
    EXPECT_EQ(readFile(QStringLiteral("q.js")), "old answers");
    // The kept page, and both new files under their hidden names.
    ASSERT_EQ(failure->left.size(), 3u) << LeftText(failure->left);
    const struct {
        fw::LeftFile::What what;
        QByteArray name;
        QByteArray bytes;
    } left[] = {{fw::LeftFile::What::OldFile, "q.html", "old page"},
                {fw::LeftFile::What::Unfinished, "q.html", "new page"},
                {fw::LeftFile::What::Unfinished, "q.js", "new answers"}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(failure->left[i].what, left[i].what);
        EXPECT_EQ(failure->left[i].name, left[i].name);
        EXPECT_EQ(RawRead(failure->left[i].path), left[i].bytes);
        EXPECT_EQ(failure->left[i].reason, QStringLiteral("Permission denied"));
    }

    const fw::InterruptedCommit found = recover();
    EXPECT_EQ(found.outcome, Outcome::Undone);
    EXPECT_EQ(found.names, (std::vector<QByteArray>{"q.html", "q.js"}));
    EXPECT_TRUE(found.left.empty());
    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
    EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
    EXPECT_EQ(entries(), pair_);
}

// Where the old file cannot get a second name, it is moved aside instead, and
// moved back when any later step fails.
TEST_F(CommitFolder, WithoutHardLinksTheOldFileIsMovedAsideAndBack) {
    for (const int linkError : {EPERM, EXDEV, EMLINK}) {
        SCOPED_TRACE(linkError);
        // The steps a commit takes after its links fail, as it takes them.
        std::vector<std::pair<Step, QString>> taken;
        writeOldPair();
        fw::testing::ObserveSteps([&](Step step, const QString& file, bool done) {
            if (done) taken.emplace_back(step, file);
        });
        FailStep(Step::Link, QStringLiteral("q.html"), linkError);
        FailStep(Step::Link, QStringLiteral("q.js"), linkError);
        ASSERT_FALSE(commitPair());
        fw::testing::ObserveSteps(nullptr);
        EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
        EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
        EXPECT_EQ(entries(), pair_);

        const auto first = [&taken](Step step) {
            return std::find_if(taken.begin(), taken.end(), [step](const auto& s) { return s.first == step; });
        };
        const auto firstMove = first(Step::MoveAside);
        const auto marked = first(Step::SyncPlaced);
        ASSERT_NE(firstMove, taken.end());
        ASSERT_NE(marked, taken.end());
        for (auto step = firstMove; step <= marked; ++step) {
            SCOPED_TRACE(int(step->first));
            SCOPED_TRACE(step->second);
            clearFolder();
            writeOldPair();
            const FileIdentity page = identity(QStringLiteral("q.html"));
            const FileIdentity answers = identity(QStringLiteral("q.js"));
            FailStep(Step::Link, QStringLiteral("q.html"), linkError);
            FailStep(Step::Link, QStringLiteral("q.js"), linkError);
            FailStep(step->first, step->second, EIO);
            ASSERT_TRUE(commitPair());
            EXPECT_EQ(identity(QStringLiteral("q.html")), page);
            EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
            EXPECT_EQ(entries(), pair_);
        }
    }
}

// A folder that stands at a target stops the commit before anything is
// made; it is never moved aside.
TEST_F(CommitFolder, AFolderAtATargetStopsTheCommit) {
    writeFile(QStringLiteral("q.html"), "old page");
    const FileIdentity page = identity(QStringLiteral("q.html"));
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("q.js")));

    const auto failure = commitPair();

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->index, 1u);
    EXPECT_EQ(failure->reason, QStringLiteral("a folder of that name is in the way"));
    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("q.js"))).isDir());
    EXPECT_EQ(entries(), pair_);
}

// A file system that cannot lock files: the commit goes on without the lock.
TEST_F(CommitFolder, WithoutLocksTheCommitGoesOn) {
    for (const int error : {ENOLCK, EOPNOTSUPP, ENOSYS, EINVAL}) {
        SCOPED_TRACE(error);
        writeOldPair();
        FailStep(Step::Lock, QString(), error);
        ASSERT_FALSE(commitPair());
        EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
        EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
        EXPECT_EQ(entries(), pair_);
    }
}

// ---- What the new files take over from the old ones ----

// A new file gets what the system gives any new file; a replaced one keeps
// its own permissions. Never the temporary file's 0600.
TEST_F(CommitFolder, PermissionsOfWrittenFiles) {
    const mode_t saved = ::umask(022);
    for (const mode_t mask : {mode_t(022), mode_t(002)}) {
        SCOPED_TRACE(mask);
        ::umask(mask);
        QFile::remove(path(QStringLiteral("q.js")));
        writeFile(QStringLiteral("q.html"), "old page");
        ::chmod(encoded(QStringLiteral("q.html")), 0640);
        ASSERT_FALSE(commitPair());
        EXPECT_EQ(identity(QStringLiteral("q.html")).mode, 0640u);
        EXPECT_EQ(identity(QStringLiteral("q.js")).mode, 0666u & ~mask);
    }
    ::umask(saved);
}

// The web server reads the page through its group or an access list entry:
// the new files keep both.
TEST_F(CommitFolder, TheReplacedFilesGroupAndAccessListGoOver) {
    writeOldPair();
    const bool otherGroup = HasRootFor("the group of another user");
    if (otherGroup) {
        ASSERT_EQ(::chown(encoded(QStringLiteral("q.html")), uid_t(-1), kNobody), 0);
    }
    const gid_t group = QFileInfo(path(QStringLiteral("q.html"))).groupId();
    const acl_t acl = ::acl_from_text("u::rw-,u:65534:r--,g::---,m::r--,o::---");
    ASSERT_TRUE(acl);
    ASSERT_EQ(::acl_set_file(encoded(QStringLiteral("q.js")), ACL_TYPE_ACCESS, acl), 0) << errno;
    ::acl_free(acl);
    const ino_t oldAnswers = identity(QStringLiteral("q.js")).inode;

    ASSERT_FALSE(commitPair());

    struct stat page {};
    ASSERT_EQ(::stat(encoded(QStringLiteral("q.html")), &page), 0);
    EXPECT_EQ(page.st_gid, group);
    EXPECT_EQ(page.st_mode & 07777, 0640u);
    EXPECT_NE(identity(QStringLiteral("q.js")).inode, oldAnswers);
    const acl_t copied = ::acl_get_file(encoded(QStringLiteral("q.js")), ACL_TYPE_ACCESS);
    ASSERT_TRUE(copied);
    char* text = ::acl_to_any_text(copied, nullptr, ',', TEXT_NUMERIC_IDS);
    EXPECT_EQ(QString::fromLatin1(text), QStringLiteral("user::rw-,user:65534:r--,group::---,mask::r--,other::---"));
    ::acl_free(text);
    ::acl_free(copied);
}

// Where the file system cannot hold a mode, a group or an access list, the
// commit goes on without them: only writing, syncing and putting the files
// in place can make it fail.
TEST_F(CommitFolder, ModeGroupAndAccessListAreKeptAsFarAsTheFileSystemCan) {
    for (const int error : {ENOSYS, ENOTSUP, EOPNOTSUPP, EPERM, EIO}) {
        SCOPED_TRACE(error);
        writeOldPair();
        if (HasRootFor("the group of another user")) {
            ASSERT_EQ(::chown(encoded(QStringLiteral("q.html")), uid_t(-1), kNobody), 0);
        }
        FailStep(Step::SetGroup, QStringLiteral("q.html"), error);
        FailStep(Step::SetMode, QStringLiteral("q.html"), error);
        FailStep(Step::SetAcl, QStringLiteral("q.js"), error);
        ASSERT_FALSE(commitPair());
        EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
        EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
        EXPECT_EQ(entries(), pair_);
    }
}

// ---- Symbolic links ----

class LinkedTargets : public CommitFolder {
protected:
    void link(const QString& name, const QString& to) {
        ASSERT_EQ(::symlink(QFile::encodeName(to).constData(), encoded(name)), 0);
    }
    QTemporaryDir pub_;
};

TEST_F(LinkedTargets, TheFileALinkNamesIsReplacedAndTheLinkStays) {
    ASSERT_TRUE(pub_.isValid());
    const QString published = QDir(pub_.path()).filePath(QStringLiteral("q.html"));
    {
        QFile file(published);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old page");
    }
    link(QStringLiteral("q.html"), QDir(folder_.path()).relativeFilePath(published));
    writeFile(QStringLiteral("published.js"), "old answers");
    link(QStringLiteral("q.js"), QStringLiteral("published.js"));

    // A failure leaves the published files as they were; success replaces them.
    const FileIdentity page = IdentityOf(published);
    FailStep(Step::PutInPlace, QStringLiteral("q.js"), EIO);
    ASSERT_TRUE(commitPair());
    EXPECT_EQ(IdentityOf(published), page);
    EXPECT_EQ(readFile(QStringLiteral("published.js")), "old answers");
    ASSERT_FALSE(commitPair());

    EXPECT_TRUE(QFileInfo(path(QStringLiteral("q.html"))).isSymLink());
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("q.js"))).isSymLink());
    EXPECT_EQ(QFileInfo(path(QStringLiteral("q.html"))).symLinkTarget(), published);
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
    EXPECT_EQ(readFile(QStringLiteral("published.js")), "new answers");
    EXPECT_EQ(entries(),
              (QStringList{QStringLiteral("published.js"), QStringLiteral("q.html"), QStringLiteral("q.js")}));
    EXPECT_EQ(entriesOf(pub_.path()), QStringList{QStringLiteral("q.html")});
}

TEST_F(LinkedTargets, ALinkToNothingGetsTheFileItNames) {
    link(QStringLiteral("q.html"), QStringLiteral("chain.html"));
    link(QStringLiteral("chain.html"), QStringLiteral("page.html"));
    ASSERT_FALSE(commitPair());
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("q.html"))).isSymLink());
    EXPECT_EQ(readFile(QStringLiteral("page.html")), "new page");
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("chain.html"), QStringLiteral("page.html"),
                                      QStringLiteral("q.html"), QStringLiteral("q.js")}));
}

// ---- Names ----

// Hidden names are as long as the target's name, up to 12 bytes, so a name
// the folder accepts always leaves room for them.
TEST_F(CommitFolder, TemporaryNamesAreHiddenAndNoLongerThanTheTarget) {
    const long limit = ::pathconf(folder().constData(), _PC_NAME_MAX);
    const QString longest = QString(int(limit) - 5, QLatin1Char('q'));
    for (const QString& title :
         {QStringLiteral("q"), QStringLiteral("quiz1234"), QStringLiteral("\u00e9\u00e9\u00e9"), longest}) {
        SCOPED_TRACE(title);
        const QStringList files{title + QStringLiteral(".html"), title + QStringLiteral(".js")};
        const QByteArray targets[] = {QFile::encodeName(files[0]), QFile::encodeName(files[1])};
        fw::CommitFailure failure;
        auto commit = fw::FileCommit::Begin(folder(), targets, failure);
        ASSERT_TRUE(commit);
        QStringList names = entries();
        names.removeAll(QStringLiteral(".quillory3-commit"));
        ASSERT_EQ(names.size(), 2);
        std::vector<qsizetype> lengths;
        for (const QString& name : names) {
            EXPECT_TRUE(name.startsWith(QLatin1Char('.')));
            lengths.push_back(QFile::encodeName(name).size());
        }
        std::vector<qsizetype> expected{std::min<qsizetype>(targets[0].size(), 12),
                                        std::min<qsizetype>(targets[1].size(), 12)};
        std::sort(lengths.begin(), lengths.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(lengths, expected);
        ASSERT_FALSE(commit->Finish());
        EXPECT_EQ(entries(), files);
        for (const QString& file : files) QFile::remove(path(file));
    }
}

}  // namespace

namespace {

// ---- What the new files hold ----

// A commit dropped before it finished leaves its record, and the next start
// settles it.
TEST_F(CommitFolder, TheTargetChangesOnlyWhenTheCommitFinishes) {
    writeOldPair();
    fw::CommitFailure failure;
    auto commit = fw::FileCommit::Begin(folder(), kPair, failure);
    ASSERT_TRUE(commit);
    EXPECT_TRUE(commit->Stream(0).Write(QString::fromUtf8("a\rb\nc\xC3\xBC")));
    EXPECT_TRUE(commit->Stream(0).Close());
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "old page");
    EXPECT_FALSE(commit->Finish());
    EXPECT_EQ(readFile(QStringLiteral("q.html")), QByteArray("a\rb\nc\xC3\xBC"));

    auto dropped = fw::FileCommit::Begin(folder(), kPair, failure);
    ASSERT_TRUE(dropped);
    dropped->Stream(0).Write(QStringLiteral("never"));
    dropped.reset();
    EXPECT_EQ(readFile(QStringLiteral("q.html")), QByteArray("a\rb\nc\xC3\xBC"));
    EXPECT_EQ(recover().outcome, Outcome::Undone);
    EXPECT_EQ(readFile(QStringLiteral("q.html")), QByteArray("a\rb\nc\xC3\xBC"));
    EXPECT_EQ(entries(), pair_);
}

// Longer than the stream converts at once, with surrogate pairs across every
// place a piece could end, a lone low surrogate and a lone high one at the end.
TEST_F(CommitFolder, ALongTextIsWrittenAsTheUtf8OfTheWholeText) {
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    QString text;
    for (int i = 0; i < 30000; ++i) text += QStringLiteral("a") + smile;
    for (int i = 0; i < 30000; ++i) text += QStringLiteral("bc") + smile;
    text.insert(50001, QChar(0xDE00));
    text += QChar(0xD83D);
    fw::CommitFailure failure;
    auto commit = fw::FileCommit::Begin(folder(), kPair, failure);
    ASSERT_TRUE(commit);
    ASSERT_TRUE(commit->Stream(0).Write(text));
    ASSERT_FALSE(commit->Finish());
    EXPECT_EQ(readFile(QStringLiteral("q.html")), text.toUtf8());
}

}  // namespace

namespace {

// ---- The order of the steps, which a crash may cut at any point ----

// The old files have their second names on the disk before any target
// changes, and the new files stand on the disk before a kept file goes.
TEST_F(CommitFolder, TheOldFilesAreOnTheDiskBeforeAnyTargetChanges) {
    writeOldPair();
    std::vector<Step> taken;
    fw::testing::ObserveSteps([&](Step step, const QString&, bool done) {
        if (done) taken.push_back(step);
    });
    ASSERT_FALSE(commitPair());
    const auto at = [&taken](Step step) { return std::find(taken.begin(), taken.end(), step) - taken.begin(); };
    const auto last = [&taken](Step step) {
        return std::find(taken.rbegin(), taken.rend(), step).base() - taken.begin() - 1;
    };
    ASSERT_LT(last(Step::Link), at(Step::SyncKept));
    ASSERT_LT(at(Step::SyncKept), at(Step::PutInPlace));
    ASSERT_LT(last(Step::PutInPlace), at(Step::SyncPlaced));
    ASSERT_LT(at(Step::SyncPlaced), at(Step::RemoveKept));
    EXPECT_EQ(std::count(taken.begin(), taken.end(), Step::SyncFile), 2);
}

// The new files are in place and the old ones are gone from their targets,
// but a kept file cannot be removed: the commit succeeded, and the record
// stays for the next start, which removes it.
TEST_F(CommitFolder, AKeptFileThatCannotBeRemovedIsRemovedAtTheNextStart) {
    writeOldPair();
    FailStep(Step::RemoveKept, QStringLiteral("q.js"), EIO);
    ASSERT_FALSE(commitPair());
    EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
    EXPECT_EQ(entries().size(), 4) << entries().join(' ');  // the pair, a kept file and the record

    const fw::InterruptedCommit found = recover();
    EXPECT_EQ(found.outcome, Outcome::Completed);
    EXPECT_TRUE(found.left.empty()) << LeftText(found.left);
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
    EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
    EXPECT_EQ(entries(), pair_);
}

// A file that takes a hidden name the commit chose, between the choice and
// the commit's own use of it, is someone else's: the undo leaves it alone;
// also where the file system cannot rename without replacing and the file
// is moved aside by the fallback.
TEST_F(CommitFolder, AFileThatTookAHiddenNameIsLeftAlone) {
    for (const auto& [step, noReplace] :
         {std::pair{Step::CreateFile, false}, std::pair{Step::Link, false}, std::pair{Step::Link, true}}) {
        SCOPED_TRACE(int(step));
        SCOPED_TRACE(noReplace);
        clearFolder();
        writeOldPair();
        if (noReplace) fw::testing::RefuseNoReplaceRenames();
        const FileIdentity page = identity(QStringLiteral("q.html"));
        QString raced;
        fw::testing::ObserveSteps([&](Step taken, const QString& file, bool done) {
            if (taken != step || file != QStringLiteral("q.html") || done || !raced.isEmpty()) return;
            // The record names the hidden names: kept, then temporary.
            for (const QByteArray& line : readFile(QStringLiteral(".quillory3-commit")).split('\n')) {
                const QList<QByteArray> fields = line.split(' ');
                if (fields.size() == 4 && fields[1] == "q.html")
                    raced = QString::fromLatin1(fields[step == Step::Link ? 2 : 3]);
            }
            writeFile(raced, "someone else's");
        });

        const auto failure = commitPair();

        ASSERT_TRUE(failure);
        ASSERT_FALSE(raced.isEmpty());
        EXPECT_EQ(readFile(raced), "someone else's");
        EXPECT_EQ(identity(QStringLiteral("q.html")), page);
        EXPECT_EQ(readFile(QStringLiteral("q.js")), "old answers");
        EXPECT_EQ(entries(), (QStringList{raced, QStringLiteral("q.html"), QStringLiteral("q.js")}));
        fw::testing::ResetFileSteps();
    }
}

// ---- Permissions ----

// Where the old file's permissions cannot be set, the new file is never
// more open than the old one was.
TEST_F(CommitFolder, ANewFileIsNeverMoreOpenThanTheOldOne) {
    for (const mode_t mode : {mode_t(0640), mode_t(0600), mode_t(0604)}) {
        SCOPED_TRACE(mode);
        writeOldPair();
        ::chmod(encoded(QStringLiteral("q.html")), mode);
        FailStep(Step::SetMode, QStringLiteral("q.html"), EPERM);
        FailStep(Step::SetAcl, QStringLiteral("q.html"), EPERM);
        ASSERT_FALSE(commitPair());
        EXPECT_EQ(identity(QStringLiteral("q.html")).mode & 077 & ~mode, 0u);
    }
}

// A replaced file gets exactly the old file's access list, none where it had
// none, whatever the folder's default list gives new files; a new file keeps
// what the default gives it.
TEST_F(CommitFolder, AReplacedFileGetsTheOldAccessListNotTheFoldersDefault) {
    writeFile(QStringLiteral("q.html"), "old page");
    ::chmod(encoded(QStringLiteral("q.html")), 0640);
    const acl_t defaults = ::acl_from_text("u::rwx,u:65534:rw-,g::r-x,m::rwx,o::---");
    ASSERT_TRUE(defaults);
    const int set = ::acl_set_file(folder().constData(), ACL_TYPE_DEFAULT, defaults);
    ::acl_free(defaults);
    if (set != 0) GTEST_SKIP() << "this file system takes no access lists";

    ASSERT_FALSE(commitPair());

    const auto extended = [this](const QString& name) {
        const acl_t acl = ::acl_get_file(encoded(name), ACL_TYPE_ACCESS);
        const bool more = acl && ::acl_equiv_mode(acl, nullptr) == 1;
        if (acl) ::acl_free(acl);
        return more;
    };
    EXPECT_FALSE(extended(QStringLiteral("q.html")));
    EXPECT_EQ(identity(QStringLiteral("q.html")).mode, 0640u);
    EXPECT_TRUE(extended(QStringLiteral("q.js")));
}

// Root, in a sticky folder of a third user's, may replace anyone's file,
// and a setgid page in another group keeps its group and its mode.
TEST_F(CommitFolder, RootReplacesAnyFileAndKeepsItsGroupAndSetgidBit) {
    SKIP_UNLESS_ROOT("files and folders owned by other users");
    writeOldPair();
    ASSERT_EQ(::chmod(folder().constData(), 01777), 0);
    ASSERT_EQ(::chown(folder().constData(), 1, 1), 0);
    ASSERT_EQ(::chown(encoded(QStringLiteral("q.html")), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(encoded(QStringLiteral("q.html")), 02750), 0);

    ASSERT_FALSE(commitPair());

    struct stat page {};
    ASSERT_EQ(::stat(encoded(QStringLiteral("q.html")), &page), 0);
    EXPECT_EQ(page.st_mode & 07777, 02750u);
    EXPECT_EQ(page.st_gid, kNobody);
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
    EXPECT_EQ(entries(), pair_);
}

// A folder the user may read but not write, as a read-only share is: the
// start changes nothing, and "Done" fails for the page with the system's
// reason before anything is made. Root writes anywhere: as root, a child that
// becomes nobody meets a folder of root's with mode 0755.
TEST_F(CommitFolder, AFolderTheUserMayOnlyReadIsLeftAsItIs) {
    writeOldPair();
    const FileIdentity page = identity(QStringLiteral("q.html"));
    const FileIdentity answers = identity(QStringLiteral("q.js"));
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(::chmod(folder().constData(), root ? 0755 : 0555), 0);
    enum Status { kRefused, kNoNobody, kStartActed, kSaved, kOtherPath, kOtherReason };
    const char* const told[] = {
        "refused", "could not become nobody", "the start acted",
        "saved",   "failed for another path", "failed for another reason",
    };

    const int status = RunInChild([&] {
        if (root && !BecomeNobody()) return kNoNobody;
        if (recover().outcome != Outcome::None) return kStartActed;
        const auto failure = commitPair();
        if (!failure) return kSaved;
        if (failure->path != encodedPath(QStringLiteral("q.html"))) return kOtherPath;
        return failure->reason == QStringLiteral("Permission denied") ? kRefused : kOtherReason;
    });

    ::chmod(folder().constData(), 0700);
    EXPECT_EQ(status, kRefused) << (status >= 0 && status < int(std::size(told)) ? told[status] : "the child failed");
    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
    EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
    EXPECT_EQ(entries(), pair_);
}

// The owner of a sticky folder may replace a file of another user's in it.
TEST_F(CommitFolder, TheFoldersOwnerReplacesAnotherUsersFile) {
    SKIP_UNLESS_ROOT("a child that becomes another user");
    writeOldPair();
    ASSERT_EQ(::chmod(folder().constData(), 01777), 0);
    ASSERT_EQ(::chown(folder().constData(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(encoded(QStringLiteral("q.html")), 1, 1), 0);
    ASSERT_EQ(::chmod(encoded(QStringLiteral("q.html")), 0666), 0);
    ASSERT_EQ(::chown(encoded(QStringLiteral("q.js")), kNobody, kNobody), 0);

    const int status = RunInChild([this] {
        if (!BecomeNobody()) return 90;
        return commitPair() ? 1 : 0;
    });

    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
    EXPECT_EQ(entries(), pair_);
}

}  // namespace
