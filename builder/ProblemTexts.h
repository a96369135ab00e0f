// The texts that one submitted problem adds to the page, built from the
// problem's texts as the main window holds them. n is the problem number text,
// put in exactly as the field holds it. No text holds a line break.
#pragma once

#include <QChar>
#include <QString>

// How every answer box ends; the page body ends with it once it holds a problem.
inline const QString kAnswerInputEnd = QStringLiteral("' > <BR CLEAR='all'><HR>");

// The grey heading cell with the problem number in bold white.
QString ProblemBanner(const QString& n);

// The script element that writes the value drawn for variable ('x', 'y' or
// 'z') of problem n, where the statement showed its placeholder.
QString ValueDisplayScript(QChar variable, const QString& n);

// The element of a variable's array that the solution reads: "x[" index "]".
QString ArrayElement(QChar variable, const QString& index);

// The student's answer box of problem n, then a clearing line break and a rule.
QString AnswerInput(const QString& n);

// a[n] from the solution: as it stands when decimals is "No", otherwise
// rounded to that many decimals.
QString AnswerStatement(const QString& n, const QString& solution, const QString& decimals);

// Draws variable ('x', 'y' or 'z') of problem n between min and max at dec decimals.
QString RandomValueStatement(QChar variable, const QString& n, const QString& min, const QString& max,
                             const QString& dec);

// Grades answer box n against a[n] with a margin of marginPercent per cent of
// the correct answer, bound included.
QString GradingStatement(const QString& n, const QString& marginPercent);
