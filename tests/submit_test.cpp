// "Submit Problem" driven as the teacher drives it: fill the main window's
// controls, press the button, read the page fragments.
#include "builder/mainWindow.h"
#include "support/Harness.h"
#include "templates/WindowA.h"
#include "templates/WindowC.h"
#include "templates/WindowD.h"
#include "templates/WindowF.h"
#include "templates/WindowF2.h"
#include "templates/windowB.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>

namespace {

const QString kIncomplete = QStringLiteral(
    " Make sure to select an error margin and decimal places for the answer and that you have entered a solution.");
const QString kBanner1 = QStringLiteral(
    "<table border=0 cellpadding=5><tr><td bgcolor=CCCCCC><FONT SIZE=+2 face=' sans-serif' color=FFFFFF><B>");
const QString kBanner3 = QStringLiteral(" </B></FONT></td></tr></table>");
const QString kDisplayHead = QStringLiteral("<SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript'>document.write(");
const QString kDisplayTail = QStringLiteral("])</script>");

QString Banner(const QString& n) { return kBanner1 + n + kBanner3; }
QString Display(const QString& var, const QString& n) { return kDisplayHead + var + "[" + n + kDisplayTail; }
QString Input(const QString& n) { return "<input type='text' size='10' name='b" + n + "' > <BR CLEAR='all'><HR>"; }

struct Fragments {
    QString head, body, answers, check, cgi, mailto;
    bool operator==(const Fragments&) const = default;
};

// The text added after `before`, which must be kept unchanged at the start.
QString Added(const QString& before, const QString& after) {
    EXPECT_TRUE(after.startsWith(before)) << "an earlier text changed";
    return after.mid(before.size());
}

// The text with its first "xxxx" replaced by title.
QString Titled(QString text, const QString& title) {
    const int at = text.indexOf(QLatin1String("xxxx"));
    EXPECT_GE(at, 0);
    return at < 0 ? text : text.replace(at, 4, title);
}

class SubmitTest : public AppHarness {
protected:
    class mainWindow& w() {
        return mainWindow();
    }

    Fragments fragments() {
        return {WindowA().EditField1().Text(), windowB().EditField1().Text(), WindowC().EditField1().Text(),
                WindowD().EditField1().Text(), WindowF().EditField1().Text(), WindowF2().EditField1().Text()};
    }

    std::vector<QString> fields() {
        class mainWindow& m = w();
        return {m.probField().Text(), m.solField().Text(), m.var1min().Text(), m.var1max().Text(),
                m.var1dec().Text(),   m.var2min().Text(),  m.var2max().Text(), m.var2dec().Text(),
                m.var3min().Text(),   m.var3max().Text(),  m.var3dec().Text(), m.EditField5().Text(),
                m.numField6().Text(), m.errorbox().Text(), m.decBox().Text()};
    }

    // Variable 1 ([x]), 2 ([y]) or 3 ([z]).
    void variable(int which, const QString& min, const QString& max, const QString& dec) {
        const auto fields = w().variableFields(which - 1);
        typeInto(fields.min, min);
        typeInto(fields.max, max);
        typeInto(fields.dec, dec);
    }

    // A complete entry with the given statement and solution.
    void problem(const QString& statement, const QString& solution, const QString& margin = "1",
                 const QString& decimals = "No") {
        typeInto(w().probField(), statement);
        typeInto(w().solField(), solution);
        selectRow(w().errorbox(), margin);
        selectRow(w().decBox(), decimals);
    }

    void submit() { w().nextButton1().Push(); }
};

// The car problem as problem 3: x and y shown, z unused.
TEST_F(SubmitTest, Problem3WithXAndYAppendsTheFiveTexts) {
    const Fragments initial = fragments();
    typeInto(w().EditField5(), "Physics");
    typeInto(w().numField6(), "3");
    problem("A car covers [x] km in [y] h. What is its speed in km/h?", "[x]/[y]", "2", "1");
    variable(1, "10", "100", "0");
    variable(2, "1.5", "4", "1");
    submit();

    const Fragments after = fragments();
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(Added(Titled(initial.body, "Physics"), after.body),
              "<table border=0 cellpadding=5><tr><td bgcolor=CCCCCC><FONT SIZE=+2 face=' sans-serif' "
              "color=FFFFFF><B>3 </B></FONT></td></tr></table>"
              "A car covers <SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript'>document.write(x[3])</script> "
              "km in <SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript'>document.write(y[3])</script> h. "
              "What is its speed in km/h?<input type='text' size='10' name='b3' > <BR CLEAR='all'><HR>");
    EXPECT_EQ(Added(initial.answers, after.answers), "a[3]=Math.round(eval(x[3]/y[3])*Math.pow(10,1))/Math.pow(10,1);");
    EXPECT_EQ(Added(Titled(initial.head, "Physics"), after.head),
              "x[3]=Math.round(((100-10)*Math.random()+10)*Math.pow(10,0))/Math.pow(10,0);"
              "y[3]=Math.round(((4-1.5)*Math.random()+1.5)*Math.pow(10,1))/Math.pow(10,1);");
    EXPECT_EQ(Added(initial.check, after.check),
              "b[3]=document.forms[0].b3.value;if(Math.abs(parseFloat(a[3])-parseFloat(document.forms[0].b3.value))"
              "<=Math.abs(eval(2/100)*parseFloat(a[3]))*(1+1e-12)) { g[3]='1'; ag[3]='correct' } else {g[3]='0'; "
              "ag[3]='incorrect'; };");
    EXPECT_EQ(after.cgi, Titled(initial.cgi, "Physics"));
    EXPECT_EQ(after.mailto, Titled(initial.mailto, "Physics"));

    // Entry fields emptied, number advanced; title, rows and delivery mode kept.
    EXPECT_EQ(fields(), (std::vector<QString>{"", "", "", "", "", "", "", "", "", "", "", "Physics", "4", "2", "1"}));
    EXPECT_FALSE(w().RadioButton1().Value());
    EXPECT_FALSE(w().RadioButton2().Value());
}

// Problem 2 uses problem 1's x: a chained problem.
TEST_F(SubmitTest, ChainedProblem2UsesTheXOfProblem1) {
    problem("A car covers [x] km in [y] h. What is its speed in km/h?", "[x]/[y]", "2", "1");
    variable(1, "10", "100", "0");
    variable(2, "1.5", "4", "1");
    submit();
    ASSERT_EQ(w().numField6().Text(), "2");
    const Fragments before = fragments();

    problem("The car keeps that speed for [y] s. How far does it go?", "[x]*[y]", "2.5", "No");
    variable(2, "10", "60", "0");
    submit();

    const Fragments after = fragments();
    EXPECT_EQ(Added(before.body, after.body), Banner("2") + "The car keeps that speed for " + Display("y", "2") +
                                                  " s. How far does it go?" + Input("2"));
    EXPECT_EQ(Added(before.answers, after.answers), "a[2]=x[1]*y[2];");
    EXPECT_EQ(Added(before.head, after.head),
              "y[2]=Math.round(((60-10)*Math.random()+10)*Math.pow(10,0))/Math.pow(10,0);");
    EXPECT_EQ(Added(before.check, after.check),
              "b[2]=document.forms[0].b2.value;if(Math.abs(parseFloat(a[2])-parseFloat(document.forms[0].b2.value))"
              "<=Math.abs(eval(2.5/100)*parseFloat(a[2]))*(1+1e-12)) { g[2]='1'; ag[2]='correct' } else {g[2]='0'; "
              "ag[2]='incorrect'; };");
    EXPECT_EQ(w().numField6().Text(), "3");
}

TEST_F(SubmitTest, NegativeMinimumAndEmptyMaximum) {
    const Fragments initial = fragments();
    problem("Between [x] and [y]", "[x]+[y]+[z]");
    variable(1, "-5", "10", "0");
    variable(2, "1", "", "0");  // no maximum: not drawn
    variable(3, "", "5", "0");  // no minimum: drawn, not valid script
    submit();
    const Fragments after = fragments();
    EXPECT_EQ(Added(Titled(initial.head, ""), after.head),
              "x[1]=Math.round(((10--5)*Math.random()+-5)*Math.pow(10,0))/Math.pow(10,0);"
              "z[1]=Math.round(((5-)*Math.random()+)*Math.pow(10,0))/Math.pow(10,0);");
    // z is in the solution only: problem 1 chains to the unset element 0.
    EXPECT_EQ(Added(initial.answers, after.answers), "a[1]=x[1]+y[1]+z[0];");
}

TEST_F(SubmitTest, IncompleteEntryIsRefusedAndChangesNothing) {
    struct Case {
        const char* name;
        bool decimals, margin, solution;
    };
    for (const Case& c : {Case{"no decimals row", false, true, true}, Case{"no margin row", true, false, true},
                          Case{"no solution", true, true, false}, Case{"nothing", false, false, false}}) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        w().errorbox().SetListIndex(-1);
        w().decBox().SetListIndex(-1);
        typeInto(w().EditField5(), "T");
        typeInto(w().probField(), "Statement [x]");
        typeInto(w().solField(), c.solution ? "[x],o" : "");
        variable(1, "1,5", "1o", "o");
        if (c.margin) selectRow(w().errorbox(), "1");
        if (c.decimals) selectRow(w().decBox(), "No");
        const Fragments before = fragments();
        const std::vector<QString> entry = fields();
        submit();
        EXPECT_EQ(messages_, std::vector<QString>{kIncomplete});
        EXPECT_EQ(fields(), entry);
        EXPECT_TRUE(fragments() == before);
    }
}

TEST_F(SubmitTest, AcceptedEntries) {
    // "No" is a selection, the statement may be empty, a blank is a solution.
    problem("", " ", "0", "No");
    submit();
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(w().numField6().Text(), "2");
    EXPECT_TRUE(WindowC().EditField1().Text().endsWith("a[1]= ;"));
    EXPECT_TRUE(windowB().EditField1().Text().endsWith(Banner("1") + Input("1")));

    // A second press without a new solution is refused.
    const Fragments before = fragments();
    submit();
    EXPECT_EQ(messages_, std::vector<QString>{kIncomplete});
    EXPECT_TRUE(fragments() == before);
    EXPECT_EQ(w().numField6().Text(), "2");
}

TEST_F(SubmitTest, NumberCleanupOfTheVariableFields) {
    const Fragments initial = fragments();
    problem("", "1");
    variable(1, "1,5", "1o", "o");    // comma to point, letter o to zero
    variable(2, "", "1o,5o", "1,5");  // the decimals field keeps its comma
    variable(3, "-o,5", "O", "2");    // upper-case O stays
    submit();
    EXPECT_EQ(Added(Titled(initial.head, ""), fragments().head),
              "x[1]=Math.round(((10-1.5)*Math.random()+1.5)*Math.pow(10,0))/Math.pow(10,0);"
              "y[1]=Math.round(((10.50-)*Math.random()+)*Math.pow(10,1,5))/Math.pow(10,1,5);"
              "z[1]=Math.round(((O--0.5)*Math.random()+-0.5)*Math.pow(10,2))/Math.pow(10,2);");
}

TEST_F(SubmitTest, TitleIsUsedUpByTheFirstAcceptedPress) {
    const Fragments initial = fragments();
    typeInto(w().EditField5(), "Newton's Laws");
    submit();  // refused: the title stays out
    EXPECT_TRUE(fragments() == initial);

    problem("Typed xxxx here", "1");
    variable(1, "1", "xxxx", "0");
    submit();
    const QString safe = "Newton&#39;s Laws";
    const Fragments first = fragments();
    EXPECT_TRUE(first.head.startsWith(Titled(initial.head, safe)));
    EXPECT_TRUE(first.body.startsWith(Titled(initial.body, safe)));
    EXPECT_EQ(first.cgi, Titled(initial.cgi, safe));
    EXPECT_EQ(first.mailto, Titled(initial.mailto, safe));

    // Later titles, and "xxxx" typed into earlier problems, stay as they are.
    typeInto(w().EditField5(), "Other");
    problem("Second", "2");
    submit();
    const Fragments second = fragments();
    EXPECT_TRUE(second.head == first.head);
    EXPECT_TRUE(second.body.startsWith(first.body));
    EXPECT_TRUE(second.cgi == first.cgi && second.mailto == first.mailto);
    EXPECT_FALSE(second.body.contains("Other"));
}

TEST_F(SubmitTest, TitleHoldingThePlaceholderOrPatternCharacters) {
    const Fragments initial = fragments();
    typeInto(w().EditField5(), "xxxx$1\\0");
    problem("", "1");
    submit();
    const Fragments first = fragments();
    EXPECT_EQ(first.cgi, Titled(initial.cgi, "xxxx$1&#92;0"));
    problem("", "2");
    submit();
    const Fragments second = fragments();
    EXPECT_TRUE(second.head == first.head && second.cgi == first.cgi && second.mailto == first.mailto);
    EXPECT_TRUE(second.body.startsWith(first.body));
}

TEST_F(SubmitTest, EmptyTitleRemovesThePlaceholder) {
    const Fragments initial = fragments();
    problem("", "1");
    submit();
    typeInto(w().EditField5(), "Late");
    problem("", "2");
    submit();
    const Fragments after = fragments();
    EXPECT_TRUE(after.head.startsWith(Titled(initial.head, "")));
    EXPECT_TRUE(after.body.startsWith(Titled(initial.body, "")));
    EXPECT_EQ(after.cgi, Titled(initial.cgi, ""));
    EXPECT_EQ(after.mailto, Titled(initial.mailto, ""));
    EXPECT_FALSE(after.body.contains("Late"));
}

TEST_F(SubmitTest, EditedAndRepeatedProblemNumbers) {
    typeInto(w().numField6(), "10");
    problem("[x]", "[x]");
    submit();
    EXPECT_EQ(w().numField6().Text(), "11");
    EXPECT_TRUE(WindowC().EditField1().Text().endsWith("a[10]=x[10];"));

    typeInto(w().numField6(), "10");
    const Fragments before = fragments();
    problem("[x] again", "[x]*2");
    submit();
    const Fragments after = fragments();
    EXPECT_EQ(Added(before.body, after.body), Banner("10") + Display("x", "10") + " again" + Input("10"));
    EXPECT_EQ(Added(before.answers, after.answers), "a[10]=x[10]*2;");
    EXPECT_EQ(w().numField6().Text(), "11");
}

TEST_F(SubmitTest, PlaceholdersTwice) {
    const Fragments initial = fragments();
    problem("[x] then [x], [z] and [y]", "[x]+[x]*[y]-[z]/[z]");
    submit();
    const Fragments after = fragments();
    EXPECT_EQ(
        Added(Titled(initial.body, ""), after.body),
        Banner("1") + Display("x", "1") + " then [x], " + Display("z", "1") + " and " + Display("y", "1") + Input("1"));
    EXPECT_EQ(Added(initial.answers, after.answers), "a[1]=x[1]+x[1]*y[1]-z[1]/z[1];");
}

TEST_F(SubmitTest, TypedTextGoesInLiterally) {
    const Fragments initial = fragments();
    typeInto(w().numField6(), "$1");
    problem("[x] costs $1 and \\1 $& \\\\", "[x]*$1+[y]\\0");
    variable(1, "$1", "\\2", "$0");
    submit();
    const Fragments after = fragments();
    EXPECT_EQ(Added(Titled(initial.body, ""), after.body),
              Banner("$1") + Display("x", "$1") + " costs $1 and \\1 $& \\\\" + Input("$1"));
    // y is chained: Val("$1") is 0, so the previous problem is -1.
    EXPECT_EQ(Added(initial.answers, after.answers), "a[$1]=x[$1]*$1+y[-1]\\0;");
    EXPECT_EQ(Added(Titled(initial.head, ""), after.head),
              "x[$1]=Math.round(((\\2-$1)*Math.random()+$1)*Math.pow(10,$0))/Math.pow(10,$0);");
    EXPECT_EQ(w().numField6().Text(), "1");
}

TEST_F(SubmitTest, UnusualProblemNumbersAndLongStatements) {
    const Fragments initial = fragments();
    typeInto(w().numField6(), "");
    problem("[x]", "[x]+[y]");
    submit();
    Fragments after = fragments();
    EXPECT_EQ(Added(Titled(initial.body, ""), after.body), Banner("") + Display("x", "") + Input(""));
    EXPECT_EQ(Added(initial.answers, after.answers), "a[]=x[]+y[-1];");
    EXPECT_EQ(w().numField6().Text(), "1");

    typeInto(w().numField6(), "abc");
    problem("", "1");
    submit();
    EXPECT_EQ(w().numField6().Text(), "1");

    // Ten thousand characters, non-ASCII text and pasted line breaks.
    const Fragments before = fragments();
    QString statement = QString::fromUtf8("Größe \xE2\x88\x9A [x] m\r\nzweite\rdritte\n ");
    while (statement.size() < 10000) statement += QStringLiteral("abcdefghij");
    typeInto(w().numField6(), "2.5");
    problem(statement, "[x]");
    submit();
    after = fragments();
    QString shown = statement;
    shown.replace("[x]", Display("x", "2.5"));
    EXPECT_EQ(Added(before.body, after.body), Banner("2.5") + shown + Input("2.5"));
    EXPECT_EQ(w().numField6().Text(), "3.5");
}

// The statement field is on screen: an accepted press leaves it showing
// nothing, ready for the next statement, while the page takes the statement
// with its placeholder shown.
TEST_F(SubmitTest, TheStatementFieldShowsNothingAfterAPressAndTakesTheNextStatement) {
    fw::TextArea& statement = w().probField();
    auto* edit = static_cast<QPlainTextEdit*>(statement.widget());
    ASSERT_TRUE(edit->isVisible());
    problem("Speed [x]?", "[x]");
    variable(1, "1", "9", "0");
    edit->grab();
    ASSERT_EQ(edit->document()->toPlainText(), QStringLiteral("Speed [x]?"));
    submit();
    EXPECT_EQ(statement.Text(), QString());
    EXPECT_TRUE(windowB().EditField1().Text().endsWith(Banner("1") + "Speed " + Display("x", "1") + "?" + Input("1")));
    edit->grab();
    EXPECT_EQ(edit->document()->toPlainText(), QString());
    QTest::keyClicks(edit, QStringLiteral("Next [y]"));
    EXPECT_EQ(statement.Text(), QStringLiteral("Next [y]"));
}

}  // namespace
