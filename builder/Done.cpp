#include "builder/Done.h"

#include "builder/HtmlText.h"
#include "builder/InterruptedDone.h"
#include "builder/MessageText.h"
#include "builder/ReportTexts.h"
#include "builder/UnknownFolder.h"
#include "builder/mainWindow.h"
#include "framework/Files.h"
#include "framework/Globals.h"
#include "framework/RegEx.h"
#include "templates/WindowA.h"
#include "templates/WindowC.h"
#include "templates/WindowD.h"
#include "templates/WindowE.h"
#include "templates/WindowE2.h"
#include "templates/WindowF.h"
#include "templates/WindowF2.h"
#include "templates/windowB.h"

#include <QFile>
#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <span>

namespace {

// Most problems a test can have; the loops over the problems stay short.
constexpr double kMaxProblems = 100000;

const QString kPageExtension = QStringLiteral(".html");
const QString kScriptExtension = QStringLiteral(".js");
const QString kExtensions[] = {kPageExtension, kScriptExtension};

bool IsAscii(const QString& text) {
    char16_t bits = 0;
    for (QChar c : text) bits |= c.unicode();
    return bits <= 0x7F;
}

// Browsers read a page that declares no encoding as UTF-8 only when it starts
// with the byte-order mark; a text of plain ASCII is written as it stands.
bool WriteWithByteOrderMark(fw::TextOutputStream& stream, const QString& text) {
    if (!IsAscii(text) && !stream.Write(QString(QChar(0xFEFF)))) return false;
    return stream.Write(text);
}

// Writes each text to the file of that name in `folder`, all of them as one
// commit. When this returns the commit is over either way: no hidden file is
// left (unless the failure's message names it) and the folder is free
// again, so another copy need not wait while a message shows. `earlier`
// gets what the commit found of an earlier, interrupted one.
std::optional<fw::CommitFailure> CommitFiles(const QByteArray& folder, std::span<const QByteArray> names,
                                             std::span<const QString* const> texts, fw::InterruptedCommit& earlier) {
    fw::CommitFailure failure;
    const std::unique_ptr<fw::FileCommit> commit = fw::FileCommit::Begin(folder, names, failure, &earlier);
    if (!commit) return failure;
    // A text that cannot be written fails the commit as it finishes.
    for (std::size_t i = 0; i < names.size() && WriteWithByteOrderMark(commit->Stream(i), *texts[i]); ++i) {
    }
    return commit->Finish();
}

}  // namespace

void Done::Run() {
    DoubleMinusFix();
    if (!FindFolder()) return;
    if (!CheckUnsubmittedProblem()) return;
    if (!ProblemCount()) return;
    if (!CheckTitle()) return;
    GradeExpression();
    ReportTexts();
    AppendPageReport();
    ScriptInclude();
    DeliveryTexts();
    ReportField();
    PageTail();
    PageAssembly();
    if (!WriteFiles()) return;
    StoreTexts();
    Quit();
}

double Done::LastProblem() const { return fw::Val(w_.numField6().Text()) - 1.0; }

bool Done::MailtoDelivery() const { return w_.RadioButton1().Value(); }

QString Done::Title() const { return w_.EditField5().Text(); }

void Done::DoubleMinusFix() {
    fw::RegEx minusMinus;
    minusMinus.SearchPattern = QStringLiteral("--");
    minusMinus.ReplacementPattern = QStringLiteral("+");
    minusMinus.Options.ReplaceAllMatches = true;
    class WindowA& head = WindowA();
    if (minusMinus.Search(head.EditField1().Text()))
        head.EditField1().SetText(minusMinus.Replace(head.EditField1().Text()));
}

// Without its folder the program has nowhere to save: it never falls back on
// the working directory.
bool Done::FindFolder() {
    QString why;
    folder_ = fw::ApplicationFolder(&why);
    if (!folder_.isEmpty()) return true;
    fw::MsgBox(UnknownFolderAtDone(why));
    return false;
}

bool Done::CheckUnsubmittedProblem() {
    if (w_.probField().Text().isEmpty()) return true;
    fw::MsgBox(QStringLiteral("submit your last problem before using this"));
    return false;
}

bool Done::ProblemCount() {
    const double count = LastProblem();
    const bool tooMany = !(count <= kMaxProblems);  // NaN included
    if (tooMany || count < double(std::numeric_limits<qint32>::min())) {
        const QString limit = tooMany ? QStringLiteral("at most %1").arg(qint32(kMaxProblems))
                                      : QStringLiteral("at least 0");
        fw::MsgBox(QStringLiteral("The problem number \"%1\" cannot be used: a test holds %2 problems. "
                                  "Set the number one above the number of problems submitted and press "
                                  "\"Done\" again.")
                       .arg(QuotedInput(w_.numField6().Text()), limit));
        return false;
    }
    problemCount_ = qint32(count);  // a fraction is cut off
    return true;
}

bool Done::CheckTitle() {
    const QString title = Title();
    if (title.isEmpty()) {
        fw::MsgBox(QStringLiteral("The test has no title. Type a title for it, which also names its files, "
                                  "and press \"Done\" again."));
        return false;
    }
    if (std::any_of(title.cbegin(), title.cend(), IsControlCharacter)) {
        fw::MsgBox(QStringLiteral("The title \"%1\" holds a control character (a tab, a line break or "
                                  "another invisible character), which the page cannot use. Remove it and "
                                  "press \"Done\" again.")
                       .arg(QuotedInput(title)));
        return false;
    }
    const bool usable = title != QLatin1StringView(".") && title != QLatin1StringView("..") &&
                        fw::GetFolderItem(folder_, title + kPageExtension) &&
                        fw::GetFolderItem(folder_, title + kScriptExtension);
    if (!usable) {
        fw::MsgBox(QStringLiteral("The title \"%1\" cannot name the test's files in the application's "
                                  "folder. Use a title without \"/\" or \"\\\" that is not \".\" or "
                                  "\"..\", and press \"Done\" again.")
                       .arg(QuotedInput(title)));
        return false;
    }
    // The page's name is the longer of the two.
    const qsizetype nameBytes = (title + kPageExtension).toUtf8().size();
    const long limit = fw::FileNameLimit(folder_);
    if (nameBytes > limit) {
        fw::MsgBox(QStringLiteral("The title \"%1\" is too long: the page's file name would take %2 bytes, "
                                  "and the application's folder allows at most %3. Shorten the title and "
                                  "press \"Done\" again.")
                       .arg(QuotedInput(title), QString::number(nameBytes), QString::number(limit)));
        return false;
    }
    return true;
}

void Done::GradeExpression() {
    checkEnd_ = {QLatin1StringView(";var grade=") + ::GradeExpression(LastProblem(), problemCount_)};
}

void Done::ReportTexts() {
    ProblemReports reports = BuildReportTexts(LastProblem());
    mailReport_ = std::move(reports.MailReportText);
    pageReport_ = std::move(reports.PageReportText);
}

// The page report reaches the page only within the report script, so its own
// text is let go here.
void Done::AppendPageReport() {
    if (MailtoDelivery()) reportScript_ = WindowE2().EditField1().Text() + pageReport_;
    else reportScript_ = WindowE().EditField1().Text() + pageReport_;
    pageReport_.clear();
}

void Done::ScriptInclude() { scriptInclude_ = ScriptIncludeLine(Title()); }

void Done::DeliveryTexts() {
    const QString form = MailtoDelivery() ? WindowF2().EditField1().Text() : WindowF().EditField1().Text();
    checkEnd_ << fw::EndOfLine() << reportScript_ << form;
}

void Done::ReportField() {
    checkEnd_ << QStringLiteral(";msg.document.forms[0].quesgrades.value=") << std::move(mailReport_)
              << QStringLiteral("}");
}

void Done::PageTail() { bodyEnd_ = PageTailFragment(); }

// The head, the check function and the body, each completed, in one text of
// exactly the page's size.
void Done::PageAssembly() {
    QStringList parts = {WindowA().EditField1().Text(), scriptInclude_, WindowD().EditField1().Text()};
    parts << checkEnd_ << windowB().EditField1().Text() << bodyEnd_;
    qsizetype size = 0;
    for (const QString& part : parts) size += part.size();
    page_.reserve(size);
    for (const QString& part : parts) page_ += part;
}

// Both files are written to hidden files first and put in place together,
// so that a failure at any step leaves the old pair as it was. An earlier
// "Done" that this one settled first is told of, as the start tells of it.
bool Done::WriteFiles() {
    const QString answers = WindowC().EditField1().Text();
    const QString* const texts[] = {&page_, &answers};
    QByteArray names[2];
    for (int i = 0; i < 2; ++i) names[i] = QFile::encodeName(Title() + kExtensions[i]);
    fw::InterruptedCommit earlier;
    const std::optional<fw::CommitFailure> failure = CommitFiles(folder_, names, texts, earlier);
    QStringList message;
    if (earlier.outcome != fw::InterruptedCommit::Outcome::None && earlier.Settled())
        message << InterruptedDoneMessage(earlier);
    if (failure) message << WriteFailureText(*failure);
    if (!message.isEmpty()) fw::MsgBox(message.join(QLatin1Char(' ')));
    return !failure;
}

// The message quotes each file by its folder and a name whose title part is
// shortened as every message shortens it.
QString Done::WriteFailureText(const fw::CommitFailure& failure) const {
    const auto fileOf = [this](std::size_t index) { return QuotedFileIn(folder_, Title() + kExtensions[index]); };
    QString reason = failure.reason;
    if (failure.sameAs != fw::CommitFailure::kNone)
        reason = QStringLiteral("it is the same file as \"%1\"").arg(fileOf(failure.sameAs));
    QString message = QStringLiteral("The test could not be saved: \"%1\" could not be written (%2). "
                                     "Your work is kept; fix the cause and press \"Done\" again.")
                          .arg(fileOf(failure.index), reason);
    if (failure.leftAsFound) {
        message += QStringLiteral(" In the folder: %1.").arg(LeftFilesText(failure.left, folder_));
    } else if (!failure.left.empty()) {
        message += QStringLiteral(" Not everything could be tidied up: %1. The next start of the program puts it "
                                  "in order.")
                       .arg(LeftFilesText(failure.left, folder_));
    }
    return message;
}

void Done::StoreTexts() {
    if (MailtoDelivery()) WindowE2().EditField1().SetText(reportScript_);
    else WindowE().EditField1().SetText(reportScript_);
    for (const QString& part : checkEnd_) WindowD().EditField1().Append(part);
    windowB().EditField1().Append(bodyEnd_);
    WindowA().EditField1().SetText(page_);
}

void Done::Quit() { fw::Quit(0); }
