// The texts one problem adds to the page, one row per case.
#include "builder/ProblemTexts.h"
#include "support/QtPrinting.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* name;
    QString actual;
    QString expected;
};

void Check(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.actual, row.expected);
    }
}

const QString kX3 =
    QStringLiteral("<SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript'>document.write(x[3])</script>");

}  // namespace

TEST(ProblemTexts, BannerDisplayAndAnswerBox) {
    Check({
        {"banner of problem 3", ProblemBanner("3"),
         "<table border=0 cellpadding=5><tr><td bgcolor=CCCCCC><FONT SIZE=+2 face=' sans-serif' "
         "color=FFFFFF><B>3 </B></FONT></td></tr></table>"},
        {"banner keeps the number as typed", ProblemBanner("$1 "),
         "<table border=0 cellpadding=5><tr><td bgcolor=CCCCCC><FONT SIZE=+2 face=' sans-serif' "
         "color=FFFFFF><B>$1  </B></FONT></td></tr></table>"},
        {"display of x", ValueDisplayScript(u'x', "3"), kX3},
        {"display of z, empty number", ValueDisplayScript(u'z', ""),
         "<SCRIPT LANGUAGE='JavaScript1.1' type='text/javascript'>document.write(z[])</script>"},
        {"array element", ArrayElement(u'y', "12"), "y[12]"},
        {"answer box of problem 3", AnswerInput("3"), "<input type='text' size='10' name='b3' > <BR CLEAR='all'><HR>"},
    });
}

TEST(ProblemTexts, AnswerStatementForms) {
    Check({
        {"rounded to 1", AnswerStatement("3", "x[3]/y[3]", "1"),
         "a[3]=Math.round(eval(x[3]/y[3])*Math.pow(10,1))/Math.pow(10,1);"},
        {"rounded to 0", AnswerStatement("1", "x[1]", "0"),
         "a[1]=Math.round(eval(x[1])*Math.pow(10,0))/Math.pow(10,0);"},
        {"raw for No", AnswerStatement("2", "x[1]*y[2]", "No"), "a[2]=x[1]*y[2];"},
        {"only No is raw", AnswerStatement("2", "1", "no"),
         "a[2]=Math.round(eval(1)*Math.pow(10,no))/Math.pow(10,no);"},
    });
}

TEST(ProblemTexts, RandomValueStatements) {
    Check({
        {"x of problem 3", RandomValueStatement(u'x', "3", "10", "100", "0"),
         "x[3]=Math.round(((100-10)*Math.random()+10)*Math.pow(10,0))/Math.pow(10,0);"},
        {"y of problem 3", RandomValueStatement(u'y', "3", "1.5", "4", "1"),
         "y[3]=Math.round(((4-1.5)*Math.random()+1.5)*Math.pow(10,1))/Math.pow(10,1);"},
        {"negative minimum", RandomValueStatement(u'x', "1", "-5", "10", "0"),
         "x[1]=Math.round(((10--5)*Math.random()+-5)*Math.pow(10,0))/Math.pow(10,0);"},
        {"empty minimum and decimals", RandomValueStatement(u'z', "7", "", "5", ""),
         "z[7]=Math.round(((5-)*Math.random()+)*Math.pow(10,))/Math.pow(10,);"},
    });
}

TEST(ProblemTexts, GradingStatementAdmitsTheExactMargin) {
    Check({
        {"problem 3 at 2 %", GradingStatement("3", "2"),
         "b[3]=document.forms[0].b3.value;if(Math.abs(parseFloat(a[3])-parseFloat(document.forms[0].b3.value))"
         "<=Math.abs(eval(2/100)*parseFloat(a[3]))*(1+1e-12)) { g[3]='1'; ag[3]='correct' } else {g[3]='0'; "
         "ag[3]='incorrect'; };"},
        {"problem 12 at .5 %", GradingStatement("12", ".5"),
         "b[12]=document.forms[0].b12.value;if(Math.abs(parseFloat(a[12])-parseFloat(document.forms[0].b12.value))"
         "<=Math.abs(eval(.5/100)*parseFloat(a[12]))*(1+1e-12)) { g[12]='1'; ag[12]='correct' } else {g[12]='0'; "
         "ag[12]='incorrect'; };"},
    });
}
