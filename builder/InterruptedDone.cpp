#include "builder/InterruptedDone.h"

#include "builder/MessageText.h"
#include "framework/CommitTogether.h"
#include "framework/Files.h"
#include "framework/Globals.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The title whose files the commit was replacing: its first file is the page.
QString TitleOf(const fw::InterruptedCommit& found) {
    const QString page = found.targets.isEmpty() ? QString() : QFileInfo(found.targets.first()).fileName();
    const QString extension = QStringLiteral(".html");
    return page.endsWith(extension) ? page.chopped(extension.size()) : page;
}

QString Message(const fw::InterruptedCommit& found) {
    using Outcome = fw::InterruptedCommit::Outcome;
    if (found.outcome == Outcome::Unreadable) {
        return QStringLiteral("An earlier \"Done\" in the folder \"%1\" was interrupted, and its record \"%2\" could "
                              "not be read (%3). No file was changed: check the test's files in that folder, then "
                              "remove \"%2\".")
            .arg(QDir::toNativeSeparators(fw::ApplicationFolder()), QDir::toNativeSeparators(found.record),
                 found.reason);
    }
    QString what;
    if (found.outcome == Outcome::Completed)
        what = QStringLiteral("both new files were already in place and were kept");
    else if (found.hadOldFiles)
        what = QStringLiteral("the files from before it were put back");
    else
        what = QStringLiteral("the files it had begun were removed");
    QString message = QStringLiteral("An earlier \"Done\" for \"%1\" was interrupted; %2.").arg(QuotedInput(TitleOf(found)), what);
    if (!found.left.isEmpty())
        message += QStringLiteral(" Not everything could be tidied up: %1.").arg(found.left.join(QStringLiteral("; ")));
    return message;
}

}  // namespace

void SettleInterruptedDone() {
    const fw::InterruptedCommit found = fw::RecoverInterruptedCommit(fw::ApplicationFolder());
    if (found.outcome != fw::InterruptedCommit::Outcome::None) fw::MsgBox(Message(found));
}
