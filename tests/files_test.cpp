// Output files put in place together or not at all, on a real folder. Faults
// come from the file layer's test seam or from the folder itself, so that
// they hold for every user, root included.
#include "framework/FileStepFaults.h"
#include "framework/Files.h"
#include "support/FileIdentity.h"
#include "support/Harness.h"

#include <QDir>
#include <cerrno>
#include <memory>
#include <sys/stat.h>

namespace {

using fw::testing::FailFileStep;

class OutputFiles : public AppHarness {
protected:
    std::unique_ptr<fw::TextOutputStream> written(const QString& name, const QString& text) {
        auto stream = fw::GetFolderItem(name)->CreateTextFile();
        EXPECT_TRUE(stream && stream->Write(text));
        return stream;
    }
    // Writes "new page" and "new answers" and commits them as one pair.
    std::optional<fw::CommitFailure> commitPair() {
        auto page = written(QStringLiteral("q.html"), QStringLiteral("new page"));
        auto answers = written(QStringLiteral("q.js"), QStringLiteral("new answers"));
        fw::TextOutputStream* streams[] = {page.get(), answers.get()};
        return fw::CommitTogether(streams);
    }
    void writeOldPair() {
        writeFile(QStringLiteral("q.html"), "old page");
        writeFile(QStringLiteral("q.js"), "old answers");
        ::chmod(QFile::encodeName(path(QStringLiteral("q.html"))).constData(), 0640);
        ::chmod(QFile::encodeName(path(QStringLiteral("q.js"))).constData(), 0604);
    }
    FileIdentity identity(const QString& name) const { return IdentityOf(path(name)); }
    QStringList entries() const {
        return QDir(folder_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    const QStringList pair_{QStringLiteral("q.html"), QStringLiteral("q.js")};
};

// Steps of a commit over two existing files: keep q.html (1), keep q.js (2),
// replace q.html (3), replace q.js (4). Whichever fails, the old pair is back.
TEST_F(OutputFiles, AFailedStepPutsTheOldFilesBack) {
    for (int step = 1; step <= 4; ++step) {
        SCOPED_TRACE(step);
        writeOldPair();
        const FileIdentity page = identity(QStringLiteral("q.html"));
        const FileIdentity answers = identity(QStringLiteral("q.js"));
        // A failed keeping step first tries moving the file aside: fail that too.
        FailFileStep(step, EIO);
        if (step <= 2) FailFileStep(step + 1, EIO);

        const auto failure = commitPair();

        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->index, step % 2 == 1 ? 0u : 1u);
        EXPECT_EQ(failure->path, path(step % 2 == 1 ? QStringLiteral("q.html") : QStringLiteral("q.js")));
        EXPECT_EQ(failure->reason, QStringLiteral("Input/output error"));
        EXPECT_EQ(identity(QStringLiteral("q.html")), page);
        EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
        EXPECT_EQ(entries(), pair_);
    }
}

TEST_F(OutputFiles, AFailedStepRemovesNewFilesThatHadNoPredecessor) {
    for (int step = 1; step <= 2; ++step) {
        SCOPED_TRACE(step);
        FailFileStep(step, ENOSPC);
        const auto failure = commitPair();
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->reason, QStringLiteral("No space left on device"));
        EXPECT_TRUE(entries().isEmpty()) << entries().join(' ');
    }
}

// Where the old file cannot get a second name, it is moved aside instead, and
// moved back when a later step fails.
TEST_F(OutputFiles, WithoutHardLinksTheOldFileIsMovedAsideAndBack) {
    writeOldPair();
    const FileIdentity page = identity(QStringLiteral("q.html"));
    const FileIdentity answers = identity(QStringLiteral("q.js"));
    // Link q.html (1) fails, move it aside (2), link q.js (3), replace both (4, 5).
    FailFileStep(1, EPERM);
    FailFileStep(5, EIO);
    ASSERT_TRUE(commitPair());
    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
    EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
    EXPECT_EQ(entries(), pair_);

    FailFileStep(1, EPERM);
    EXPECT_FALSE(commitPair());
    EXPECT_EQ(readFile(QStringLiteral("q.html")), "new page");
    EXPECT_EQ(readFile(QStringLiteral("q.js")), "new answers");
    EXPECT_EQ(entries(), pair_);
}

// A folder that appears at a target after its stream was made stops the
// commit before anything is replaced; it is never moved aside.
TEST_F(OutputFiles, AFolderAtATargetStopsTheCommit) {
    writeFile(QStringLiteral("q.html"), "old page");
    const FileIdentity page = identity(QStringLiteral("q.html"));
    auto pageStream = written(QStringLiteral("q.html"), QStringLiteral("new page"));
    auto answerStream = written(QStringLiteral("q.js"), QStringLiteral("new answers"));
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("q.js")));
    fw::TextOutputStream* streams[] = {pageStream.get(), answerStream.get()};

    const auto failure = fw::CommitTogether(streams);

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->index, 1u);
    EXPECT_TRUE(failure->reason.contains(QStringLiteral("folder")));
    EXPECT_EQ(identity(QStringLiteral("q.html")), page);
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("q.js"))).isDir());
    EXPECT_EQ(entries(), pair_);
}

// A new file gets what the system gives any new file; a replaced one keeps
// its own permissions. Never the temporary file's 0600.
TEST_F(OutputFiles, PermissionsOfWrittenFiles) {
    const mode_t saved = ::umask(022);
    for (const mode_t mask : {mode_t(022), mode_t(002)}) {
        SCOPED_TRACE(mask);
        ::umask(mask);
        QFile::remove(path(QStringLiteral("q.js")));
        writeFile(QStringLiteral("q.html"), "old page");
        ::chmod(QFile::encodeName(path(QStringLiteral("q.html"))).constData(), 0640);
        ASSERT_FALSE(commitPair());
        EXPECT_EQ(identity(QStringLiteral("q.html")).mode, 0640u);
        EXPECT_EQ(identity(QStringLiteral("q.js")).mode, 0666u & ~mask);
    }
    ::umask(saved);
}

// Hidden names are as long as the target's name, up to 12 bytes, so a name
// the folder accepts always leaves room for them.
TEST_F(OutputFiles, TemporaryNamesAreHiddenAndNoLongerThanTheTarget) {
    const QString longest = QString(int(fw::FileNameLimit()) - 3, QLatin1Char('q')) + QStringLiteral(".js");
    const struct {
        QString target;
        qsizetype length;
    } rows[] = {{QStringLiteral(".js"), 3}, {QStringLiteral("q.js"), 4}, {QStringLiteral("quiz1234.html"), 12},
                {QStringLiteral("\u00e9\u00e9\u00e9.js"), 9}, {longest, 12}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.target);
        auto stream = written(row.target, QStringLiteral("text"));
        const QStringList names = entries();
        ASSERT_EQ(names.size(), 1);
        EXPECT_TRUE(names[0].startsWith(QLatin1Char('.')));
        EXPECT_EQ(QFile::encodeName(names[0]).size(), row.length);
        ASSERT_TRUE(stream->Commit()) << stream->Error();
        EXPECT_EQ(entries(), QStringList{row.target});
        QFile::remove(path(row.target));
    }
}

}  // namespace
