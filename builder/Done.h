// "Done": finishes the page from the collected fragments, writes Title.html
// and Title.js beside the application and quits.
//
// The texts that complete the fragments are built in this object, and the
// fragments are completed in the template windows only once both files are in
// place. A Done that fails to write leaves the teacher's work as it was (apart
// from the "--" fix of the page head, which a second run leaves unchanged), so
// pressing "Done" again after fixing the cause writes the same page.
//
// A test may hold 100,000 problems, so no fragment is copied except into the
// page: what completes each one is kept apart and added to it in place once
// the files are written.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class mainWindow;
namespace fw {
struct CommitFailure;
}

class Done {
public:
    explicit Done(class mainWindow& window) : w_(window) {}
    void Run();

private:
    // Stages, in the order Run calls them. Those returning bool end Done
    // (after a message) when they return false.
    void DoubleMinusFix();           // every "--" of the page head becomes "+"
    bool FindFolder();               // the application's folder, which must be known
    bool CheckUnsubmittedProblem();  // the statement field must be empty
    bool ProblemCount();             // from the problem number; refuses one out of range
    bool CheckTitle();               // a title, naming both files in the folder, without control characters
    void GradeExpression();          // ";var grade=" and the formula after the grading
    void ReportTexts();              // the results form's and results window's reports
    void AppendPageReport();         // the page report after the delivery mode's report script
    void ScriptInclude();            // the line that loads Title.js, after the page head
    void DeliveryTexts();            // line end, report script and results form
    void ReportField();              // the "quesgrades" statement and the closing "}"
    void PageTail();                 // the page's tail after the body
    void PageAssembly();             // head, grading script and body: the whole page
    bool WriteFiles();               // Title.html and Title.js, replaced together
    void StoreTexts();               // the completed texts into their windows
    void Quit();
    QString WriteFailureText(const fw::CommitFailure& failure) const;

    // Val(problem number) - 1, read afresh from the field.
    double LastProblem() const;
    bool MailtoDelivery() const;
    QString Title() const;

    class mainWindow& w_;
    QByteArray folder_;  // the application's folder, as bytes: looked up once per "Done"
    qint32 problemCount_ = 0;
    QString mailReport_;     // MailReportText, until the check function's parts take it
    QString pageReport_;     // PageReportText, until the report script takes it
    QString scriptInclude_;  // what completes PageHeadFragment
    QStringList checkEnd_;   // what completes CheckFunctionFragment, part by part: the reports are not copied
    QString reportScript_;   // the delivery mode's report script with the page report
    QString bodyEnd_;        // what completes PageBodyFragment
    QString page_;           // the whole page
};
