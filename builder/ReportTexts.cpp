#include "builder/ReportTexts.h"

#include "builder/HtmlText.h"

#include <array>

namespace {

// One report item: its eight pieces with the problem number between each two.
using ItemPieces = std::array<QLatin1StringView, 8>;

constexpr ItemPieces kMailItem = {
    QLatin1StringView("'\\r\\nProblem "),
    QLatin1StringView(" is '+ag["),
    QLatin1StringView("]+'.\\t The correct answer is '+a["),
    QLatin1StringView("]+'.\\tThe student answer is '+b["),
    QLatin1StringView("]+'.\\t The variables (x,y,z) for this problem were ('+x["),
    QLatin1StringView("]+', '+y["),
    QLatin1StringView("]+', '+z["),
    QLatin1StringView("]+').'+"),
};

constexpr ItemPieces kPageItem = {
    QLatin1StringView(" <P>Problem "),
    QLatin1StringView(" is '+ag["),
    QLatin1StringView("]+'.  The correct answer is '+a["),
    QLatin1StringView("]+'. Your answer is '+b["),
    QLatin1StringView("]+'. The variables (x,y,z) for this problem were ('+x["),
    QLatin1StringView("]+', '+y["),
    QLatin1StringView("]+', '+z["),
    QLatin1StringView("]+').</P>"),
};

void appendItem(QString& text, const ItemPieces& pieces, const QString& number) {
    text += pieces[0];
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        text += number;
        text += pieces[i];
    }
}

}  // namespace

QString GradeExpression(double lastProblem, qint32 problemCount) {
    QString sum = QStringLiteral("0");
    for (qint32 counter = 1; counter <= lastProblem; ++counter)
        sum += QLatin1StringView("+parseFloat(g[") + QString::number(counter) + QLatin1StringView("])");
    return QLatin1StringView("Math.round((") + sum + QLatin1StringView(")*100/") + QString::number(problemCount) +
           QLatin1StringView(");");
}

ProblemReports BuildReportTexts(double lastProblem) {
    ProblemReports reports;
    for (qint32 counter = 1; counter <= lastProblem; ++counter) {
        const QString number = QString::number(counter);
        appendItem(reports.MailReportText, kMailItem, number);
        appendItem(reports.PageReportText, kPageItem, number);
    }
    reports.MailReportText += QLatin1StringView("' '");
    reports.PageReportText += QLatin1StringView("Your Grade: '+grade+'</p>");
    return reports;
}

QString ScriptIncludeLine(const QString& title) {
    return QChar(13) + QLatin1StringView("</script><SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript' src='") +
           HtmlSafeText(RelativeAddressText(title)) +
           QLatin1StringView(".js'></script><SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript'>") + QChar(13);
}

QString PageTailFragment() {
    return QLatin1StringView("<input type= 'button' value='submit for grade' onClick='check()'><BR> Once you have "
                             "submitted your answers for grading by clicking the grade button, you <B>cannot resubmit "
                             "answers</B> for the same Problem Set--you must use the 'New Problems' button first. "
                             "<HR>Need help?  Try these test-taking tools: <B><TABLE BORDER='0' CELLSPACING='2' "
                             "CELLPADDING='1'> <TR ALIGN='Left' VALIGN='Top'> <TD><A HREF='") +
           kToolsBaseAddress + QLatin1StringView("phycon.html' target='newwindow'>Constants</A></TD> <TD> <A HREF='") +
           kToolsBaseAddress +
           QLatin1StringView("convert.html' target='newwindow2'>Conversions</A></TD> <TD> <A HREF='") +
           kToolsBaseAddress +
           QLatin1StringView("calc.html' target='newwindow3'>calculator </A></TD> </TR> </TABLE></B><br>");
}
