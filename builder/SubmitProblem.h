// "Submit Problem": adds the problem entered in the main window to the test,
// in twelve stages that run in the order below.
#pragma once

#include <QString>

class mainWindow;

class SubmitProblem {
public:
    explicit SubmitProblem(class mainWindow& window) : w_(window) {}
    void Run();

private:
    // Stages, in the order Run calls them. Only Validate can end the press.
    bool Validate();                     // decimals row, margin row and solution present
    void NumberCleanup();                // comma to point, letter o to zero in the variable fields
    void PlaceTitle();                   // the test title in place of the fragments' "xxxx"
    void AppendBanner();                 // the problem's banner to the page body
    void PlaceholderPass();              // first [x], [y], [z] of the statement show the drawn values
    void RewriteSolution();              // every [x], [y], [z] of the solution becomes an array element
    void AppendStatementAndInput();      // the statement and the answer box to the page body
    void AppendAnswerStatement();        // the correct answer to the answer script
    void AppendRandomValueStatements();  // the drawing of each variable with a maximum, to the page head
    void AppendGradingStatement();       // the grading of the answer, to the check function
    void ClearEntryFields();             // statement, solution and variable fields emptied
    void AdvanceProblemNumber();         // the problem number one up

    QString ProblemNumber() const;  // the problem number field, read afresh

    class mainWindow& w_;
    // The problem whose value the solution uses, per variable (indexed as
    // mainWindow::variableFields): this problem, the previous one (a chained
    // problem), or empty.
    QString variableIndex_[3];
    // The problem number as the random-value stage read it; the advance uses it.
    QString number_;
    // The statement with its placeholders rewritten, as the page body takes it.
    QString statement_;
};
