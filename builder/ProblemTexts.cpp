#include "builder/ProblemTexts.h"

QString ProblemBanner(const QString& n) {
    return QStringLiteral("<table border=0 cellpadding=5><tr><td bgcolor=CCCCCC>"
                          "<FONT SIZE=+2 face=' sans-serif' color=FFFFFF><B>") +
           n + QStringLiteral(" </B></FONT></td></tr></table>");
}

QString ValueDisplayScript(QChar variable, const QString& n) {
    return QStringLiteral("<SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript'>document.write(") +
           QString(variable) + QLatin1Char('[') + n + QStringLiteral("])</script>");
}

QString ArrayElement(QChar variable, const QString& index) {
    return QString(variable) + QLatin1Char('[') + index + QLatin1Char(']');
}

QString AnswerInput(const QString& n) {
    return QStringLiteral("<input type='text' size='10' name='b") + n + kAnswerInputEnd;
}

QString AnswerStatement(const QString& n, const QString& solution, const QString& decimals) {
    if (decimals == QLatin1String("No")) {
        return QStringLiteral("a[") + n + QStringLiteral("]=") + solution + QLatin1Char(';');
    }
    return QStringLiteral("a[") + n + QStringLiteral("]=Math.round(eval(") + solution +
           QStringLiteral(")*Math.pow(10,") + decimals + QStringLiteral("))/Math.pow(10,") + decimals +
           QStringLiteral(");");
}

QString RandomValueStatement(QChar variable, const QString& n, const QString& min, const QString& max,
                             const QString& dec) {
    return QString(variable) + QLatin1Char('[') + n + QStringLiteral("]=Math.round(((") + max + QLatin1Char('-') + min +
           QStringLiteral(")*Math.random()+") + min + QStringLiteral(")*Math.pow(10,") + dec +
           QStringLiteral("))/Math.pow(10,") + dec + QStringLiteral(");");
}

// The bound is widened by a millionth of a millionth of itself: in the page's
// floating point an answer exactly on the margin (15 at 1 %: 14.85) would
// otherwise come out a hair beyond it. Nothing a student can type lies in the
// widening, and a margin of 0 still demands equality.
QString GradingStatement(const QString& n, const QString& marginPercent) {
    return QStringLiteral("b[") + n + QStringLiteral("]=document.forms[0].b") + n + QStringLiteral(".value;") +
           QStringLiteral("if(Math.abs(parseFloat(a[") + n + QStringLiteral("])-parseFloat(document.forms[0].b") + n +
           QStringLiteral(".value))<=Math.abs(eval(") + marginPercent + QStringLiteral("/100)*parseFloat(a[") + n +
           QStringLiteral("]))*(1+1e-12)) { g[") + n + QStringLiteral("]='1'; ag[") + n +
           QStringLiteral("]='correct' } else {g[") + n + QStringLiteral("]='0'; ag[") + n +
           QStringLiteral("]='incorrect'; };");
}
