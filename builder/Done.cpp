#include "builder/Done.h"

#include "builder/ReportTexts.h"
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

#include <QDir>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>

namespace {

// Most problems a test can have; the loops over the problems stay short.
constexpr double kMaxProblems = 100000;

const QString kPageExtension = QStringLiteral(".html");
const QString kScriptExtension = QStringLiteral(".js");

// Browsers read a page that declares no encoding as UTF-8 only when it starts
// with the byte-order mark; a text of plain ASCII is written as it stands.
QString WithByteOrderMark(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() > 0x7F) return QChar(0xFEFF) + text;
    }
    return text;
}

void ReportWriteFailure(const QString& path, const QString& reason) {
    fw::MsgBox(QStringLiteral("The test could not be saved: \"%1\" could not be written (%2). "
                              "Your work is kept; fix the cause and press \"Done\" again.")
                   .arg(QDir::toNativeSeparators(path), reason));
}

// One output file on its way: its name, its text and the stream that
// replaces it on commit.
struct OutputFile {
    QString name;
    QString text;
    std::optional<fw::FolderItem> item;
    std::unique_ptr<fw::TextOutputStream> stream;
};

}  // namespace

void Done::Run() {
    DoubleMinusFix();
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

bool Done::CheckUnsubmittedProblem() {
    if (w_.probField().Text().isEmpty()) return true;
    fw::MsgBox(QStringLiteral("submit your last problem before using this"));
    return false;
}

bool Done::ProblemCount() {
    const double count = LastProblem();
    if (!std::isfinite(count) || count > kMaxProblems ||
        count < double(std::numeric_limits<qint32>::min())) {
        fw::MsgBox(QStringLiteral("The problem number \"%1\" cannot be used: a test holds at most %2 "
                                  "problems. Set the number one above the number of problems "
                                  "submitted and press \"Done\" again.")
                       .arg(w_.numField6().Text())
                       .arg(qint32(kMaxProblems)));
        return false;
    }
    problemCount_ = qint32(count);  // a fraction is cut off
    return true;
}

bool Done::CheckTitle() {
    const QString title = Title();
    const bool usable = title != QLatin1StringView(".") && title != QLatin1StringView("..") &&
                        fw::GetFolderItem(title + kPageExtension) &&
                        fw::GetFolderItem(title + kScriptExtension);
    if (usable) return true;
    fw::MsgBox(QStringLiteral("The title \"%1\" cannot name the test's files in the application's "
                              "folder. Use a title without \"/\" or \"\\\" that is not \".\" or "
                              "\"..\", and press \"Done\" again.")
                   .arg(title));
    return false;
}

void Done::GradeExpression() {
    check_ = WindowD().EditField1().Text() + QLatin1StringView(";var grade=") +
             ::GradeExpression(LastProblem(), problemCount_);
}

void Done::ReportTexts() {
    ProblemReports reports = BuildReportTexts(LastProblem());
    mailReport_ = std::move(reports.MailReportText);
    pageReport_ = std::move(reports.PageReportText);
}

void Done::AppendPageReport() {
    if (MailtoDelivery())
        reportScript_ = WindowE2().EditField1().Text() + pageReport_;
    else
        reportScript_ = WindowE().EditField1().Text() + pageReport_;
}

void Done::ScriptInclude() { head_ = WindowA().EditField1().Text() + ScriptIncludeLine(Title()); }

void Done::DeliveryTexts() {
    const QString form = MailtoDelivery() ? WindowF2().EditField1().Text() : WindowF().EditField1().Text();
    check_ += fw::EndOfLine() + reportScript_ + form;
}

void Done::ReportField() {
    check_ += QLatin1StringView(";msg.document.forms[0].quesgrades.value=") + mailReport_ +
              QLatin1StringView("}");
}

void Done::PageTail() { body_ = windowB().EditField1().Text() + PageTailFragment(); }

void Done::PageAssembly() { page_ = head_ + check_ + body_; }

// Both files are written to temporary files first and put in place only when
// both are complete, so a failure leaves the old files as they were.
bool Done::WriteFiles() {
    OutputFile files[] = {
        {Title() + kPageExtension, page_, std::nullopt, nullptr},
        {Title() + kScriptExtension, WindowC().EditField1().Text(), std::nullopt, nullptr},
    };
    for (OutputFile& file : files) {
        file.item = fw::GetFolderItem(file.name);
        if (!file.item) {
            ReportWriteFailure(file.name, QStringLiteral("not a file name in the application's folder"));
            return false;
        }
        if (file.item->IsDirectory()) {
            ReportWriteFailure(file.item->Path(), QStringLiteral("a folder of that name is in the way"));
            return false;
        }
    }
    for (OutputFile& file : files) {
        QString error;
        file.stream = file.item->CreateTextFile(&error);
        if (!file.stream) {
            ReportWriteFailure(file.item->Path(), error);
            return false;
        }
    }
    for (OutputFile& file : files) {
        if (!file.stream->Write(WithByteOrderMark(file.text)) || !file.stream->Close()) {
            ReportWriteFailure(file.item->Path(), file.stream->Error());
            return false;
        }
    }
    for (OutputFile& file : files) {
        if (!file.stream->Commit()) {
            ReportWriteFailure(file.item->Path(), file.stream->Error());
            return false;
        }
    }
    return true;
}

void Done::StoreTexts() {
    if (MailtoDelivery())
        WindowE2().EditField1().SetText(reportScript_);
    else
        WindowE().EditField1().SetText(reportScript_);
    WindowD().EditField1().SetText(check_);
    windowB().EditField1().SetText(body_);
    WindowA().EditField1().SetText(page_);
}

void Done::Quit() { fw::Quit(0); }
