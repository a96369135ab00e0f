// The texts that "Done" puts into the page, written out literally: checked
// against the report texts as plain functions and against the written page.
#pragma once

#include <QString>

// ---- The script element that loads the answer script ----

// source: what stands between src=' and .js'.
inline QString scriptInclude(const QString& source) {
    return QStringLiteral("\r</script><SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript' src='") + source +
           QStringLiteral(".js'></script><SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript'>\r");
}

// ---- The page tail: the grade button's notice and three tool links ----

// The four pieces between which the tools' base address stands three times.
inline const QString kPageTailPieces[4] = {
    QStringLiteral("<input type= 'button' value='submit for grade' onClick='check()'><BR> Once you have submitted "
                   "your answers for grading by clicking the grade button, you <B>cannot resubmit answers</B> for "
                   "the same Problem Set--you must use the 'New Problems' button first. <HR>Need help?  Try these "
                   "test-taking tools: <B><TABLE BORDER='0' CELLSPACING='2' CELLPADDING='1'> <TR ALIGN='Left' "
                   "VALIGN='Top'> <TD><A HREF='"),
    QStringLiteral("phycon.html' target='newwindow'>Constants</A></TD> <TD> <A HREF='"),
    QStringLiteral("convert.html' target='newwindow2'>Conversions</A></TD> <TD> <A HREF='"),
    QStringLiteral("calc.html' target='newwindow3'>calculator </A></TD> </TR> </TABLE></B><br>"),
};

inline QString pageTail(const QString& toolsBase) {
    return kPageTailPieces[0] + toolsBase + kPageTailPieces[1] + toolsBase + kPageTailPieces[2] + toolsBase +
           kPageTailPieces[3];
}

inline const QString kToolsBase = QStringLiteral("https://tools.example.org/");
inline const QString kPageTail = pageTail(kToolsBase);

// ---- Grade formula, reports ----

// What the grade formula and the mail report stand behind.
inline const QString kGradeStatement = QStringLiteral(";var grade=");
inline const QString kQuesgrades = QStringLiteral(";msg.document.forms[0].quesgrades.value=");

// Two problems: the grade formula and both reports.
inline const QString kGradeTwo = QStringLiteral("Math.round((0+parseFloat(g[1])+parseFloat(g[2]))*100/2);");
inline const QString kMailTwo = QStringLiteral(
    "'\\r\\nProblem 1 is '+ag[1]+'.\\t The correct answer is '+a[1]+'.\\tThe student answer is '+b[1]+'.\\t The "
    "variables (x,y,z) for this problem were ('+x[1]+', '+y[1]+', '+z[1]+').'+'\\r\\nProblem 2 is '+ag[2]+'.\\t The "
    "correct answer is '+a[2]+'.\\tThe student answer is '+b[2]+'.\\t The variables (x,y,z) for this problem were "
    "('+x[2]+', '+y[2]+', '+z[2]+').'+' '");
inline const QString kPageTwo = QStringLiteral(
    " <P>Problem 1 is '+ag[1]+'.  The correct answer is '+a[1]+'. Your answer is '+b[1]+'. The variables (x,y,z) "
    "for this problem were ('+x[1]+', '+y[1]+', '+z[1]+').</P> <P>Problem 2 is '+ag[2]+'.  The correct answer is "
    "'+a[2]+'. Your answer is '+b[2]+'. The variables (x,y,z) for this problem were ('+x[2]+', '+y[2]+', "
    "'+z[2]+').</P>Your Grade: '+grade+'</p>");

// One problem.
inline const QString kGradeOne = QStringLiteral("Math.round((0+parseFloat(g[1]))*100/1);");
inline const QString kMailOne = QStringLiteral(
    "'\\r\\nProblem 1 is '+ag[1]+'.\\t The correct answer is '+a[1]+'.\\tThe student answer is '+b[1]+'.\\t The "
    "variables (x,y,z) for this problem were ('+x[1]+', '+y[1]+', '+z[1]+').'+' '");
inline const QString kPageOne = QStringLiteral(
    " <P>Problem 1 is '+ag[1]+'.  The correct answer is '+a[1]+'. Your answer is '+b[1]+'. The variables (x,y,z) "
    "for this problem were ('+x[1]+', '+y[1]+', '+z[1]+').</P>Your Grade: '+grade+'</p>");

// No problem.
inline const QString kGradeNone = QStringLiteral("Math.round((0)*100/0);");
inline const QString kMailNone = QStringLiteral("' '");
inline const QString kPageNone = QStringLiteral("Your Grade: '+grade+'</p>");
