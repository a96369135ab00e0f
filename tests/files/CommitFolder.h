// A fixture for tests of the file commit: the pair q.html and q.js in a
// fresh folder, replaced together, and the folder's entries (hidden ones
// included) to check that nothing else is left. The test seam is reset after
// every test.
#pragma once

#include "framework/files/FileCommit.h"
#include "framework/files/FileStepFaults.h"
#include "framework/files/TextOutputStream.h"
#include "support/FileIdentity.h"
#include "support/Forked.h"
#include "support/Privilege.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The files left behind, one a line, for a failure's output.
inline std::string LeftText(const std::vector<fw::LeftFile>& left) {
    std::string text;
    for (const fw::LeftFile& file : left)
        text += std::to_string(int(file.what)) + " " + file.name.toStdString() + " " + file.path.toStdString() + " (" +
                file.reason.toStdString() + ")\n";
    return text;
}

class CommitFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }
    void TearDown() override { fw::testing::ResetFileSteps(); }

    // Replaces `names` (q.html and q.js) in `folder` with the two texts as one commit.
    static std::optional<fw::CommitFailure> commitIn(const QByteArray& folder, const QString& page,
                                                     const QString& answers,
                                                     std::span<const QByteArray> names = kPair) {
        fw::CommitFailure failure;
        const auto commit = fw::FileCommit::Begin(folder, names, failure);
        if (!commit) return failure;
        const QString* texts[] = {&page, &answers};
        // A text that cannot be written fails the commit as it finishes.
        for (std::size_t i = 0; i < names.size() && commit->Stream(i).Write(*texts[i]); ++i) {
        }
        return commit->Finish();
    }
    std::optional<fw::CommitFailure> commitPair(const QString& page = QStringLiteral("new page"),
                                                const QString& answers = QStringLiteral("new answers")) const {
        return commitIn(folder(), page, answers);
    }
    static constexpr int kStopped = 3;  // the status of a child that stopped at its step

    // Commits the pair into `folder` in a child that stops at its n-th step,
    // before or after taking it, as a crash or a power cut stops it; where
    // `withoutLinks`, the folder's file system takes no second names. The
    // child's status: kStopped, or 0 when the commit ended first.
    static int commitStoppingAt(const QByteArray& folder, int n, bool after, bool withoutLinks = false) {
        return RunInChild([&] {
            int seen = 0;
            fw::testing::ObserveSteps([&](fw::testing::Step, const QString&, bool done) {
                if (done == after && ++seen == n) ::_exit(kStopped);
            });
            if (withoutLinks) refuseLinks();
            return commitIn(folder, QStringLiteral("new page"), QStringLiteral("new answers")) ? 1 : 0;
        });
    }
    // Commits the pair in a child that stops as `step` for `file` begins (or,
    // `after`, once it is taken); `first` runs in the child before.
    int commitStoppingWhen(fw::testing::Step step, const QString& file, bool after,
                           const std::function<void()>& first = {}) const {
        return RunInChild([&] {
            if (first) first();
            fw::testing::ObserveSteps([&](fw::testing::Step taken, const QString& name, bool done) {
                if (taken == step && name == file && done == after) ::_exit(kStopped);
            });
            return commitPair() ? 1 : 0;
        });
    }
    // As on FAT: no old file gets a second name.
    static void refuseLinks() {
        for (const char* name : {"q.html", "q.js"})
            fw::testing::FailStep(fw::testing::Step::Link, QString::fromLatin1(name), EXDEV);
    }
    fw::InterruptedCommit recover() const { return fw::RecoverInterruptedCommit(folder()); }
    // The start put the old pair back, the very files, and left nothing else.
    void expectOldPairPutBack(const fw::InterruptedCommit& found, const FileIdentity& page,
                              const FileIdentity& answers) const {
        EXPECT_EQ(found.outcome, fw::InterruptedCommit::Outcome::Undone);
        EXPECT_TRUE(found.left.empty()) << LeftText(found.left);
        EXPECT_EQ(identity(QStringLiteral("q.html")), page);
        EXPECT_EQ(identity(QStringLiteral("q.js")), answers);
        EXPECT_EQ(entries(), pair_);
    }

    QByteArray folder() const { return QFile::encodeName(folder_.path()); }
    QString path(const QString& name) const { return QDir(folder_.path()).filePath(name); }
    QByteArray encodedPath(const QString& name) const { return QFile::encodeName(path(name)); }
    const char* encoded(const QString& name) {
        held_ = encodedPath(name);
        return held_.constData();
    }
    QByteArray readFile(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeFile(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    bool fileExists(const QString& name) const { return QFileInfo::exists(path(name)); }
    void writeOldPair() {
        writeFile(QStringLiteral("q.html"), "old page");
        writeFile(QStringLiteral("q.js"), "old answers");
        ::chmod(encoded(QStringLiteral("q.html")), 0640);
        ::chmod(encoded(QStringLiteral("q.js")), 0604);
    }
    void clearFolder() {
        for (const QString& name : entries()) QFile::remove(path(name));
    }
    FileIdentity identity(const QString& name) const { return IdentityOf(path(name)); }
    QStringList entries() const { return entriesOf(folder_.path()); }
    static QStringList entriesOf(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                                      QDir::Name);
    }

    inline static const QByteArray kPair[] = {QByteArray("q.html"), QByteArray("q.js")};
    QTemporaryDir folder_;
    const QStringList pair_{QStringLiteral("q.html"), QStringLiteral("q.js")};
    QByteArray held_;
};
