// The texts that "Done" generates and the way its messages quote typed text,
// checked as plain functions, one row per case.
#include "builder/HtmlText.h"
#include "builder/MessageText.h"
#include "builder/ReportTexts.h"
#include "support/PageTexts.h"
#include "support/QtPrinting.h"

#include <gtest/gtest.h>

namespace {

struct GradeCase {
    const char* name;
    double lastProblem;  // Val(problem number) - 1
    qint32 problemCount;
    QString expected;
};

TEST(GradeExpression, OneTermPerProblemDividedByTheCount) {
    const GradeCase cases[] = {
        {"two problems", 2, 2, kGradeTwo},
        {"no problem", 0, 0, kGradeNone},
        {"problem number 0", -1, -1, QStringLiteral("Math.round((0)*100/-1);")},
        {"problem number 3.5", 2.5, 2, kGradeTwo},
        {"three problems", 3, 3,
         QStringLiteral("Math.round((0+parseFloat(g[1])+parseFloat(g[2])+parseFloat(g[3]))*100/3);")},
    };
    for (const GradeCase& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(GradeExpression(row.lastProblem, row.problemCount), row.expected);
    }
}

TEST(GradeExpression, TwelveProblemsUseTwoDigitNumbers) {
    const QString grade = GradeExpression(12, 12);
    EXPECT_TRUE(grade.endsWith(QStringLiteral("+parseFloat(g[11])+parseFloat(g[12]))*100/12);")));
    EXPECT_EQ(grade.count(QStringLiteral("parseFloat(g[")), 12);
}

struct ReportCase {
    const char* name;
    double lastProblem;
    QString mail;
    QString page;
};

TEST(ReportTexts, OneItemPerProblemThenTheClosingText) {
    const ReportCase cases[] = {
        {"two problems", 2, kMailTwo, kPageTwo},
        {"problem number 3.5", 2.5, kMailTwo, kPageTwo},
        {"no problem", 0, kMailNone, kPageNone},
        {"problem number 0", -1, kMailNone, kPageNone},
    };
    for (const ReportCase& row : cases) {
        SCOPED_TRACE(row.name);
        const ProblemReports reports = BuildReportTexts(row.lastProblem);
        EXPECT_EQ(reports.MailReportText, row.mail);
        EXPECT_EQ(reports.PageReportText, row.page);
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
        {"percent, number sign and question mark", QStringLiteral("Quiz#3?_50%"), QStringLiteral("Quiz%233%3F_50%25")},
        {"a number sign is escaped once", QStringLiteral("#"), QStringLiteral("%23")},
        {"a typed escape keeps its percent", QStringLiteral("Q%41%23"), QStringLiteral("Q%2541%2523")},
        {"address first, then references", QStringLiteral("A&B?"), QStringLiteral("A&#38;B%3F")},
        {"blank and other punctuation left to the browser", QStringLiteral("a b+c=d;e"), QStringLiteral("a b+c=d;e")},
        {"colons, else the name reads as a scheme", QStringLiteral(" Physics: Motion"),
         QStringLiteral("%20Physics%3A Motion")},
        {"every colon", QStringLiteral("http:x:y"), QStringLiteral("http%3Ax%3Ay")},
        {"only leading blanks", QStringLiteral("  a b "), QStringLiteral("%20%20a b ")},
        {"a title of blanks", QStringLiteral("  "), QStringLiteral("%20%20")},
        {"control characters as references", QStringLiteral("Quiz\t10\r\n"), QStringLiteral("Quiz&#9;10&#13;&#10;")},
    };
    for (const IncludeCase& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ScriptIncludeLine(row.title), scriptInclude(row.source));
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
        {"the six markup characters", QStringLiteral("&'\"\\<>"), QStringLiteral("&#38;&#39;&#34;&#92;&#60;&#62;")},
        {"tab, line feed, carriage return", QStringLiteral("a\tb\nc\rd"), QStringLiteral("a&#9;b&#10;c&#13;d")},
        {"NUL", QString(QChar(0)) + QStringLiteral("x"), QStringLiteral("&#0;x")},
        {"U+001F, the last control character", QString(QChar(0x1F)), QStringLiteral("&#31;")},
        {"blank and U+007F unchanged", QStringLiteral(" \u007f~"), QStringLiteral(" \u007f~")},
        {"no-break space and CJK unchanged", QStringLiteral("10\u00a0%\u65e5\u672c"),
         QStringLiteral("10\u00a0%\u65e5\u672c")},
        {"address characters unchanged", QStringLiteral("#?%"), QStringLiteral("#?%")},
    };
    for (const SafeCase& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(HtmlSafeText(row.text), row.expected);
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

    EXPECT_EQ(kPageTailPieces[0].size(), 399);
    EXPECT_EQ(kPageTailPieces[1].size(), 65);
    EXPECT_EQ(kPageTailPieces[2].size(), 69);
    EXPECT_EQ(kPageTailPieces[3].size(), 74);
    EXPECT_EQ(PageTailFragment(), pageTail(kToolsBaseAddress));
}

}  // namespace

namespace {

TEST(QuotedInput, ShortTextWholeLongTextItsFirstFortyCharacters) {
    const QString forty(40, QLatin1Char('a'));
    const QString emoji = QStringLiteral("\U0001F600");  // two UTF-16 units
    const struct {
        const char* name;
        QString typed;
        QString quoted;
    } rows[] = {
        {"empty", QString(), QString()},
        {"exactly forty", forty, forty},
        {"forty-one", forty + QLatin1Char('b'), forty + QStringLiteral("...")},
        {"a character across the cut stays whole", QString(39, QLatin1Char('a')) + emoji + QStringLiteral("z"),
         QString(39, QLatin1Char('a')) + QStringLiteral("...")},
        {"a megabyte", QString(1 << 20, QLatin1Char('7')), QString(40, QLatin1Char('7')) + QStringLiteral("...")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(QuotedInput(row.typed), row.quoted);
    }
}

}  // namespace
