#include "builder/InterruptedDone.h"

#include "builder/MessageText.h"
#include "framework/Globals.h"
#include "framework/files/FileCommit.h"

#include <QDir>
#include <QFile>

namespace {

// The title whose files the commit was replacing: its first file is the page.
QString TitleOf(const fw::InterruptedCommit& found) {
    const QString page = found.names.empty() ? QString() : QFile::decodeName(found.names.front());
    const QString extension = QStringLiteral(".html");
    return page.endsWith(extension) ? page.chopped(extension.size()) : page;
}

}  // namespace

QString InterruptedDoneMessage(const fw::InterruptedCommit& found) {
    using Outcome = fw::InterruptedCommit::Outcome;
    const QString record = QDir::toNativeSeparators(QFile::decodeName(found.record));
    if (found.outcome == Outcome::Unreadable) {
        return QStringLiteral("The record \"%1\" of a \"Done\" could not be used (%2), so no file was changed for "
                              "it. Check the test's files beside it, then remove \"%1\": while it stays, \"Done\" "
                              "cannot save in this folder.")
            .arg(record, found.reason);
    }
    if (found.outcome == Outcome::Foreign) {
        return QStringLiteral("The record \"%1\" of a \"Done\" belongs to another user, so no file was changed for "
                              "it. While it stays, \"Done\" cannot save in this folder.")
            .arg(record);
    }
    const QString title = QuotedInput(TitleOf(found));
    const QString left = LeftFilesText(found.left, found.record.left(found.record.lastIndexOf('/')));
    if (found.outcome == Outcome::Unsettled) {
        return QStringLiteral("An earlier \"Done\" for \"%1\" was interrupted, and its files are not as it could have "
                              "left them, so none was changed: %2. Keep what you need of them, then remove \"%3\".")
            .arg(title, left, record);
    }
    if (!found.left.empty()) {
        return QStringLiteral("An earlier \"Done\" for \"%1\" was interrupted, and not all of it could be settled: "
                              "%2. The next start of the program tries again.")
            .arg(title, left);
    }
    QString what;
    if (found.outcome == Outcome::Untouched)
        what = QStringLiteral("nothing was left half done, and no file was changed");
    else if (found.outcome == Outcome::Completed)
        what = QStringLiteral("both new files were already in place and were kept");
    else if (found.hadOldFiles) what = QStringLiteral("the files from before it were put back");
    else what = QStringLiteral("the files it had begun were removed");
    return QStringLiteral("An earlier \"Done\" for \"%1\" was interrupted; %2.").arg(title, what);
}

void SettleInterruptedDone(const QByteArray& folder) {
    const fw::InterruptedCommit found = fw::RecoverInterruptedCommit(folder);
    if (found.outcome != fw::InterruptedCommit::Outcome::None) fw::MsgBox(InterruptedDoneMessage(found));
}
