// A fixture for tests of the file layer's commits: the pair q.html and q.js
// in the application folder, replaced together, and the folder's entries
// (hidden ones included) to check that nothing else is left.
#pragma once

#include "framework/FileStepFaults.h"
#include "framework/Files.h"
#include "support/FileIdentity.h"
#include "support/Harness.h"

#include <QDir>
#include <QFile>
#include <optional>
#include <sys/stat.h>

class OutputFiles : public AppHarness {
protected:
    // Replaces q.html and q.js with the two texts as one commit.
    std::optional<fw::CommitFailure> commitPair(const QString& page = QStringLiteral("new page"),
                                                const QString& answers = QStringLiteral("new answers")) {
        const QString targets[] = {path(QStringLiteral("q.html")), path(QStringLiteral("q.js"))};
        fw::CommitFailure failure;
        const auto commit = fw::FileCommit::Begin(targets, failure);
        if (!commit) return failure;
        if (!commit->Stream(0).Write(page)) return fw::CommitFailure{0, targets[0], commit->Stream(0).Error()};
        if (!commit->Stream(1).Write(answers)) return fw::CommitFailure{1, targets[1], commit->Stream(1).Error()};
        return commit->Finish();
    }
    void writeOldPair() {
        writeFile(QStringLiteral("q.html"), "old page");
        writeFile(QStringLiteral("q.js"), "old answers");
        ::chmod(encoded(QStringLiteral("q.html")), 0640);
        ::chmod(encoded(QStringLiteral("q.js")), 0604);
    }
    void clearFolder() {
        for (const QString& name : entries()) QFile::remove(path(name));
    }
    QByteArray encodedPath(const QString& name) const { return QFile::encodeName(path(name)); }
    const char* encoded(const QString& name) {
        held_ = encodedPath(name);
        return held_.constData();
    }
    FileIdentity identity(const QString& name) const { return IdentityOf(path(name)); }
    QStringList entries() const { return entriesOf(folder_.path()); }
    static QStringList entriesOf(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                                      QDir::Name);
    }
    fw::InterruptedCommit recover() { return fw::RecoverInterruptedCommit(folder_.path()); }

    const QStringList pair_{QStringLiteral("q.html"), QStringLiteral("q.js")};
    QByteArray held_;
};
