// The texts that "Done" generates: the grade formula, the two per-problem
// result reports, the line that loads the answer script, and the page's tail.
// Plain functions of their inputs, so that each can be checked on its own.
#pragma once

#include <QString>

// The common base address of the three test-taking tools linked from the
// page's tail; it ends in "/".
inline const QString kToolsBaseAddress = QStringLiteral("https://tools.example.org/");

// The page-script grade in per cent: a term "+parseFloat(g[n])" for each
// problem n from 1 while n <= lastProblem (compared as doubles), divided by
// the digits of problemCount, e.g.
// "Math.round((0+parseFloat(g[1])+parseFloat(g[2]))*100/2);".
QString GradeExpression(double lastProblem, qint32 problemCount);

// The per-problem reports for problems 1 .. lastProblem, built in one loop.
struct ProblemReports {
    // A page-script string expression for the results form's "quesgrades"
    // field: one item per problem, then "' '".
    QString MailReportText;
    // HTML that continues the results window's open single-quoted string: one
    // paragraph per problem, then the grade line.
    QString PageReportText;
};
ProblemReports BuildReportTexts(double lastProblem);

// Closes the page head's script element, loads the answer script
// "<title>.js" (the title written as a relative address, then made safe for
// an attribute value), and opens the script element that holds the grading
// function. Starts and ends with a carriage return.
QString ScriptIncludeLine(const QString& title);

// The "submit for grade" button, the note on resubmission and the links to
// the three test-taking tools; ends with "<br>".
QString PageTailFragment();
