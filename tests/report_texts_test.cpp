// The texts that "Done" generates, checked as plain functions, one row per case.
#include "builder/ReportTexts.h"

#include "builder/HtmlText.h"

#include <gtest/gtest.h>

namespace {

struct GradeCase {
    const char* name;
    double lastProblem;  // Val(problem number) - 1
    qint32 problemCount;
    const char* expected;
};

const GradeCase kGradeCases[] = {
    {"two problems", 2, 2, "Math.round((0+parseFloat(g[1])+parseFloat(g[2]))*100/2);"},
    {"no problem", 0, 0, "Math.round((0)*100/0);"},
    {"problem number 0", -1, -1, "Math.round((0)*100/-1);"},
    {"problem number 3.5", 2.5, 2, "Math.round((0+parseFloat(g[1])+parseFloat(g[2]))*100/2);"},
    {"three problems", 3, 3,
     "Math.round((0+parseFloat(g[1])+parseFloat(g[2])+parseFloat(g[3]))*100/3);"},
};

TEST(GradeExpression, OneTermPerProblemDividedByTheCount) {
    for (const GradeCase& row : kGradeCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(GradeExpression(row.lastProblem, row.problemCount), QString::fromLatin1(row.expected));
    }
}

TEST(GradeExpression, TwelveProblemsUseTwoDigitNumbers) {
    const QString grade = GradeExpression(12, 12);
    EXPECT_TRUE(grade.endsWith(QStringLiteral("+parseFloat(g[11])+parseFloat(g[12]))*100/12);")));
    EXPECT_EQ(grade.count(QStringLiteral("parseFloat(g[")), 12);
}

const char* const kMailTwo =
    "'\\r\\nProblem 1 is '+ag[1]+'.\\t The correct answer is '+a[1]+'.\\tThe student answer is '+b[1]+'.\\t "
    "The variables (x,y,z) for this problem were ('+x[1]+', '+y[1]+', '+z[1]+').'+'\\r\\nProblem 2 is "
    "'+ag[2]+'.\\t The correct answer is '+a[2]+'.\\tThe student answer is '+b[2]+'.\\t The variables "
    "(x,y,z) for this problem were ('+x[2]+', '+y[2]+', '+z[2]+').'+' '";

const char* const kPageTwo =
    " <P>Problem 1 is '+ag[1]+'.  The correct answer is '+a[1]+'. Your answer is '+b[1]+'. The variables "
    "(x,y,z) for this problem were ('+x[1]+', '+y[1]+', '+z[1]+').</P> <P>Problem 2 is '+ag[2]+'.  The "
    "correct answer is '+a[2]+'. Your answer is '+b[2]+'. The variables (x,y,z) for this problem were "
    "('+x[2]+', '+y[2]+', '+z[2]+').</P>Your Grade: '+grade+'</p>";

struct ReportCase {
    const char* name;
    double lastProblem;
    const char* mail;
    const char* page;
};

const ReportCase kReportCases[] = {
    {"two problems", 2, kMailTwo, kPageTwo},
    {"problem number 3.5", 2.5, kMailTwo, kPageTwo},
    {"no problem", 0, "' '", "Your Grade: '+grade+'</p>"},
    {"problem number 0", -1, "' '", "Your Grade: '+grade+'</p>"},
};

TEST(ReportTexts, OneItemPerProblemThenTheClosingText) {
    for (const ReportCase& row : kReportCases) {
        SCOPED_TRACE(row.name);
        const ProblemReports reports = BuildReportTexts(row.lastProblem);
        EXPECT_EQ(reports.MailReportText, QString::fromLatin1(row.mail));
        EXPECT_EQ(reports.PageReportText, QString::fromLatin1(row.page));
    }
}

TEST(ReportTexts, HoldNoLineBreak) {
    const ProblemReports reports = BuildReportTexts(15);
    for (const QString& text : {reports.MailReportText, reports.PageReportText}) {
        EXPECT_FALSE(text.contains(QChar(13)));
        EXPECT_FALSE(text.contains(QChar(10)));
    }
    EXPECT_TRUE(reports.PageReportText.contains(QStringLiteral(" <P>Problem 15 is '+ag[15]+'.")));
}

struct IncludeCase {
    const char* name;
    QString title;
    QString source;  // what stands between src=' and .js'
};

TEST(ScriptIncludeLine, LoadsTheAnswerScriptOfTheTitle) {
    const IncludeCase cases[] = {
        {"plain title", QStringLiteral("Quiz7"), QStringLiteral("Quiz7")},
        {"empty title", QString(), QString()},
        {"double minus kept", QStringLiteral("Quiz--7"), QStringLiteral("Quiz--7")},
        {"markup characters", QStringLiteral("A&B's \"x\" <y> \\z"),
         QStringLiteral("A&#38;B&#39;s &#34;x&#34; &#60;y&#62; &#92;z")},
        {"non-ASCII as typed", QStringLiteral("W\u00fcrfel"), QStringLiteral("W\u00fcrfel")},
        {"percent, number sign and question mark", QStringLiteral("Quiz#3?_50%"),
         QStringLiteral("Quiz%233%3F_50%25")},
        {"a number sign is escaped once", QStringLiteral("#"), QStringLiteral("%23")},
        {"a typed escape keeps its percent", QStringLiteral("Q%41%23"), QStringLiteral("Q%2541%2523")},
        {"address first, then references", QStringLiteral("A&B?"), QStringLiteral("A&#38;B%3F")},
        {"blank and other punctuation left to the browser", QStringLiteral("a b+c=d;e"),
         QStringLiteral("a b+c=d;e")},
        {"control characters as references", QStringLiteral("Quiz\t10\r\n"),
         QStringLiteral("Quiz&#9;10&#13;&#10;")},
    };
    for (const IncludeCase& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ScriptIncludeLine(row.title).toStdString(),
                  (QStringLiteral("\r</script><SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript' src='") +
                   row.source +
                   QStringLiteral(".js'></script><SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript'>\r"))
                      .toStdString());
    }
}

struct SafeCase {
    const char* name;
    QString text;
    QString expected;
};

TEST(HtmlSafeText, MarkupAndControlCharactersAsReferences) {
    const SafeCase cases[] = {
        {"plain text", QStringLiteral("Quiz7"), QStringLiteral("Quiz7")},
        {"the six markup characters", QStringLiteral("&'\"\\<>"),
         QStringLiteral("&#38;&#39;&#34;&#92;&#60;&#62;")},
        {"tab, line feed, carriage return", QStringLiteral("a\tb\nc\rd"),
         QStringLiteral("a&#9;b&#10;c&#13;d")},
        {"NUL", QString(QChar(0)) + QStringLiteral("x"), QStringLiteral("&#0;x")},
        {"U+001F, the last control character", QString(QChar(0x1F)), QStringLiteral("&#31;")},
        {"blank and U+007F unchanged", QStringLiteral(" \u007f~"), QStringLiteral(" \u007f~")},
        {"no-break space and CJK unchanged", QStringLiteral("10\u00a0%\u65e5\u672c"),
         QStringLiteral("10\u00a0%\u65e5\u672c")},
        {"address characters unchanged", QStringLiteral("#?%"), QStringLiteral("#?%")},
    };
    for (const SafeCase& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(HtmlSafeText(row.text).toStdString(), row.expected.toStdString());
    }
}

TEST(ScriptIncludeLine, HasItsTwoSeventyCharacterPieces) {
    const QString line = ScriptIncludeLine(QStringLiteral("T"));
    ASSERT_EQ(line.size(), 1 + 70 + 1 + 70 + 1);
    EXPECT_EQ(line.mid(1, 70).right(5), QStringLiteral("src='"));
    EXPECT_EQ(line.mid(72, 70).left(4), QStringLiteral(".js'"));
}

TEST(PageTailFragment, IsTheButtonNoticeAndToolLinks) {
    EXPECT_TRUE(kToolsBaseAddress.startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(kToolsBaseAddress.endsWith(QStringLiteral("/")));
    EXPECT_TRUE(kToolsBaseAddress.contains(QStringLiteral("example.")));

    const QString piece1 = QStringLiteral(
        "<input type= 'button' value='submit for grade' onClick='check()'><BR> Once you have submitted your "
        "answers for grading by clicking the grade button, you <B>cannot resubmit answers</B> for the same "
        "Problem Set--you must use the 'New Problems' button first. <HR>Need help?  Try these test-taking "
        "tools: <B><TABLE BORDER='0' CELLSPACING='2' CELLPADDING='1'> <TR ALIGN='Left' VALIGN='Top'> "
        "<TD><A HREF='");
    const QString piece2 =
        QStringLiteral("phycon.html' target='newwindow'>Constants</A></TD> <TD> <A HREF='");
    const QString piece3 =
        QStringLiteral("convert.html' target='newwindow2'>Conversions</A></TD> <TD> <A HREF='");
    const QString piece4 =
        QStringLiteral("calc.html' target='newwindow3'>calculator </A></TD> </TR> </TABLE></B><br>");
    EXPECT_EQ(piece1.size(), 399);
    EXPECT_EQ(piece2.size(), 65);
    EXPECT_EQ(piece3.size(), 69);
    EXPECT_EQ(piece4.size(), 74);
    EXPECT_EQ(PageTailFragment(), piece1 + kToolsBaseAddress + piece2 + kToolsBaseAddress + piece3 +
                                      kToolsBaseAddress + piece4);
}

}  // namespace
