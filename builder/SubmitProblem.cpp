#include "builder/SubmitProblem.h"

#include "builder/HtmlText.h"
#include "builder/ProblemTexts.h"
#include "builder/mainWindow.h"
#include "framework/Globals.h"
#include "framework/RegEx.h"
#include "templates/WindowA.h"
#include "templates/WindowC.h"
#include "templates/WindowD.h"
#include "templates/WindowF.h"
#include "templates/WindowF2.h"
#include "templates/windowB.h"

namespace {

const QString kIncompleteEntry = QStringLiteral(
    " Make sure to select an error margin and decimal places for the answer and that you have "
    "entered a solution.");

// The three variables, always handled in this order; index v is the main
// window's variable v.
constexpr int kVariableCount = mainWindow::kVariableCount;
constexpr QChar kVariables[kVariableCount] = {u'x', u'y', u'z'};

// Matches the placeholder's three characters literally.
QString PlaceholderPattern(QChar variable) { return QStringLiteral("\\[") + variable + QStringLiteral("\\]"); }

fw::RegEx MakeRegEx(const QString& search, const QString& replacement, bool all = false) {
    fw::RegEx re;
    re.SearchPattern = search;
    re.ReplacementPattern = replacement;
    re.Options.ReplaceAllMatches = all;
    return re;
}

// Writes the control only when its text holds a match.
void GuardedReplace(const fw::RegEx& re, fw::TextControl& control) {
    const QString text = control.Text();
    if (!re.Search(text)) return;
    control.SetText(re.Replace(text));
}

}  // namespace

void SubmitProblem::Run() {
    if (!Validate()) return;
    NumberCleanup();
    PlaceTitle();
    AppendBanner();
    PlaceholderPass();
    RewriteSolution();
    AppendStatementAndInput();
    AppendAnswerStatement();
    AppendRandomValueStatements();
    AppendGradingStatement();
    ClearEntryFields();
    AdvanceProblemNumber();
}

QString SubmitProblem::ProblemNumber() const { return w_.numField6().Text(); }

bool SubmitProblem::Validate() {
    if (w_.decBox().Text().isEmpty() || w_.errorbox().Text().isEmpty() || w_.solField().Text().isEmpty()) {
        fw::MsgBox(kIncompleteEntry);
        return false;
    }
    return true;
}

// In each variable's minimum and maximum a comma becomes a point and a letter
// o a zero; its decimals get the letter-o pass only.
void SubmitProblem::NumberCleanup() {
    const fw::RegEx comma = MakeRegEx(QStringLiteral(","), QStringLiteral("."), true);
    const fw::RegEx letterO = MakeRegEx(QStringLiteral("o"), QStringLiteral("0"), true);
    for (int v = 0; v < kVariableCount; ++v) {
        const auto [min, max, dec] = w_.variableFields(v);
        GuardedReplace(comma, min);
        GuardedReplace(letterO, min);
        GuardedReplace(comma, max);
        GuardedReplace(letterO, max);
        GuardedReplace(letterO, dec);
    }
}

// The title placeholder is used up by the first accepted press: once the page
// body holds a problem, the fragments are left alone, so that an "xxxx" typed
// into a problem (or into the title itself) never rewrites an earlier text.
// The title goes in with the characters that would end the page's strings
// written as character references.
void SubmitProblem::PlaceTitle() {
    if (windowB().EditField1().Text().endsWith(kAnswerInputEnd)) return;
    const fw::RegEx title = MakeRegEx(QStringLiteral("xxxx"), HtmlSafeText(w_.EditField5().Text()));
    GuardedReplace(title, WindowA().EditField1());
    GuardedReplace(title, windowB().EditField1());
    GuardedReplace(title, WindowF().EditField1());
    GuardedReplace(title, WindowF2().EditField1());
}

void SubmitProblem::AppendBanner() { windowB().EditField1().Append(ProblemBanner(ProblemNumber())); }

// For each variable: its first placeholder in the statement shows the value
// drawn for this problem, and the solution then uses this problem's value. A
// variable the solution uses but the statement doesn't show takes the
// previous problem's value (a chained problem). Each variable's search sees
// the statement as the variables before it left it. The rewritten statement
// is kept here, not in the statement field: the field is on screen, showing a
// text costs far more than building it, and the press empties the field.
void SubmitProblem::PlaceholderPass() {
    statement_ = w_.probField().Text();
    for (int v = 0; v < kVariableCount; ++v) {
        const QChar variable = kVariables[v];
        fw::RegEx pass = MakeRegEx(PlaceholderPattern(variable), ValueDisplayScript(variable, ProblemNumber()));
        if (pass.Search(statement_)) {
            statement_ = pass.Replace(statement_);
            variableIndex_[v] = ProblemNumber();
        } else if (pass.Search(w_.solField().Text())) {
            variableIndex_[v] = fw::Str(fw::Val(ProblemNumber()) - 1);
        }
    }
}

void SubmitProblem::RewriteSolution() {
    for (int v = 0; v < kVariableCount; ++v) {
        const QChar variable = kVariables[v];
        const fw::RegEx rewrite =
            MakeRegEx(PlaceholderPattern(variable), ArrayElement(variable, variableIndex_[v]), true);
        GuardedReplace(rewrite, w_.solField());
    }
}

void SubmitProblem::AppendStatementAndInput() {
    windowB().EditField1().Append(statement_ + AnswerInput(ProblemNumber()));
}

void SubmitProblem::AppendAnswerStatement() {
    WindowC().EditField1().Append(AnswerStatement(ProblemNumber(), w_.solField().Text(), w_.decBox().Text()));
}

void SubmitProblem::AppendRandomValueStatements() {
    number_ = ProblemNumber();
    QString statements;
    for (int v = 0; v < kVariableCount; ++v) {
        const auto [min, max, dec] = w_.variableFields(v);
        if (max.Text().isEmpty()) continue;
        statements += RandomValueStatement(kVariables[v], number_, min.Text(), max.Text(), dec.Text());
    }
    if (!statements.isEmpty()) WindowA().EditField1().Append(statements);
}

void SubmitProblem::AppendGradingStatement() {
    WindowD().EditField1().Append(GradingStatement(ProblemNumber(), w_.errorbox().Text()));
}

void SubmitProblem::ClearEntryFields() {
    w_.probField().SetText(QString());
    w_.solField().SetText(QString());
    for (int v = 0; v < kVariableCount; ++v) {
        const auto [min, max, dec] = w_.variableFields(v);
        max.SetText(QString());
        min.SetText(QString());
        dec.SetText(QString());
    }
}

void SubmitProblem::AdvanceProblemNumber() { w_.numField6().SetText(fw::Str(fw::Val(number_) + 1)); }
