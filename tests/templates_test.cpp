// The page fragments held by the template windows, and the two results form
// editors as a teacher uses them.
#include "framework/Instances.h"
#include "support/Harness.h"
#include "templates/Placeholders.h"
#include "templates/WindowA.h"
#include "templates/WindowC.h"
#include "templates/WindowD.h"
#include "templates/WindowE.h"
#include "templates/WindowE2.h"
#include "templates/WindowF.h"
#include "templates/WindowF2.h"
#include "templates/windowB.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <functional>

namespace {

QStringList linesOf(const QString& text) { return text.split(QChar(u'\r')); }

struct FragmentRow {
    QString window;
    std::function<TemplateWindow&()> open;
    std::function<bool()> isLive;
    int length;
    int lines;
    int titleCount;  // occurrences of the title placeholder "xxxx"
};

// A row for the template window class W, opened through its accessor.
template <class W>
FragmentRow row(W& (*accessor)(), int length, int lines, int titleCount) {
    return {fw::ClassName<W>(), accessor, &fw::IsLive<W>, length, lines, titleCount};
}

std::vector<FragmentRow> fragmentRows() {
    return {
        row(&WindowA, 326, 17, 1), row(&windowB, 784 + 24, 3, 1),   row(&WindowC, 0, 1, 0),
        row(&WindowD, 37, 2, 0),   row(&WindowE, 531 + 45, 11, 0),  row(&WindowE2, 535 + 52, 7, 0),
        row(&WindowF, 1598, 5, 1), row(&WindowF2, 1442 + 20, 5, 1),  // the subject goes through encodeURIComponent()
    };
}

// Runs node --check on a script; returns the exit code, or -1 when node is missing.
int nodeCheck(const QString& script, QString* errors) {
    QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty()) return -1;
    QTemporaryDir dir;
    QString file = QDir(dir.path()).filePath(QStringLiteral("page.js"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return -2;
    out.write(script.toUtf8());
    out.close();
    QProcess process;
    process.start(node, {QStringLiteral("--check"), file});
    if (!process.waitForFinished(60000)) return -3;
    *errors = QString::fromUtf8(process.readAllStandardError());
    return process.exitCode();
}

// The grading function as the page holds it around the report script and the
// form fragment: the opening of check, the grade formula and a line end, the
// report with one problem's paragraph and the grade, the form, the statement
// that fills quesgrades, and the closing braces.
QString checkFunction(const QString& report, const QString& form) {
    return WindowD().EditField1().Text() + QStringLiteral("var grade=1;\n") + report +
           QStringLiteral(" <P>1) correct</P>Your Grade: '+grade+'</p>") + form +
           QStringLiteral(";msg.document.forms[0].quesgrades.value=' 1 correct'}}");
}

}  // namespace

using TemplateWindows = AppHarness;

TEST_F(TemplateWindows, EachFragmentHasItsLengthLinesAndTitlePlaceholders) {
    for (const FragmentRow& row : fragmentRows()) {
        SCOPED_TRACE(row.window);
        EXPECT_FALSE(row.isLive());
        TemplateWindow& window = row.open();
        QString text = window.EditField1().Text();
        EXPECT_EQ(text.size(), row.length);
        EXPECT_EQ(linesOf(text).size(), row.lines);
        EXPECT_FALSE(text.contains(QChar(u'\n')));
        EXPECT_FALSE(text.endsWith(QChar(u'\r')));
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; }));
        EXPECT_EQ(text.count(QStringLiteral("xxxx")), row.titleCount);
        EXPECT_EQ(&row.open(), &window) << "a second call gives the same instance";
        EXPECT_TRUE(row.isLive());
    }
}

TEST_F(TemplateWindows, PageFragmentsKeepTheirLineBoundaries) {
    QStringList head = linesOf(WindowA().EditField1().Text());
    EXPECT_EQ(head.first(), QStringLiteral("<html><head><title>xxxx</title>"));
    EXPECT_EQ(head[2], QString());
    EXPECT_EQ(head.last(), QStringLiteral("};"));
    EXPECT_EQ(WindowA().EditField1().Text().indexOf(QStringLiteral("xxxx")), 19);

    QStringList body = linesOf(windowB().EditField1().Text());
    EXPECT_EQ(body[2].size(), 680 + 24);
    EXPECT_TRUE(body[2].startsWith(QStringLiteral("<FORM onSubmit='return false'> <table border=0")));
    EXPECT_TRUE(body[2].endsWith(QStringLiteral("</TABLE> ")));

    EXPECT_EQ(WindowC().EditField1().Text(), QString());
    EXPECT_EQ(WindowD().EditField1().Text(), QStringLiteral("function check(){\rif(ck==\"1\"){ck=\"2\";"));
}

TEST_F(TemplateWindows, ReportScriptsShareTheStyleWriteAndTryTheOldResultsWindow) {
    QStringList cgi = linesOf(WindowE().EditField1().Text());
    QStringList mail = linesOf(WindowE2().EditField1().Text());
    EXPECT_EQ(cgi[0], QStringLiteral("var msg=open(\"\",\"msg\");try{msg.document.org}catch(e){msg.close();"
                                     "msg=open(\"\",\"msg\")};"));
    EXPECT_EQ(mail[0], QStringLiteral("var msg=window.open(\"\",\"msg\");try{msg.document.open}catch(e){"
                                      "msg.close();msg=window.open(\"\",\"msg\")};"));
    EXPECT_EQ(cgi[6].size(), 441);
    EXPECT_EQ(cgi[6], mail[2]);
    EXPECT_TRUE(cgi[6].endsWith(QStringLiteral("<HR noshade>\")")));
    for (int i : {1, 2, 3, 4, 5, 7, 8, 9}) EXPECT_EQ(cgi[i], QString()) << "line " << i + 1;
    for (int i : {1, 3, 4, 5}) EXPECT_EQ(mail[i], QString()) << "line " << i + 1;
    EXPECT_EQ(cgi.last(), QStringLiteral("msg.document.write('<B>Results Reporter:"));
    EXPECT_EQ(mail.last(), cgi.last());
}

TEST_F(TemplateWindows, FormFragmentsHoldThePlaceholdersWhereTheEditorsLookForThem) {
    ASSERT_EQ(kUrlPlaceholder.size(), 37);
    ASSERT_EQ(kUrlPlaceholderHost.size(), 14);
    ASSERT_EQ(kEmailPlaceholder.size(), 21);
    EXPECT_EQ(kUrlPlaceholder.mid(7, 14), kUrlPlaceholderHost);
    EXPECT_TRUE(kUrlPlaceholder.endsWith(QStringLiteral("/cgi-bin/form.pl")));
    EXPECT_TRUE(kGeneriformHomeAddress.endsWith(QChar(u'/')));

    QString cgi = WindowF().EditField1().Text();
    EXPECT_EQ(cgi.indexOf(kUrlPlaceholder), 18);
    EXPECT_EQ(cgi.indexOf(kUrlPlaceholderHost), 25);
    EXPECT_EQ(cgi.indexOf(QStringLiteral("xxxx")), 201);
    EXPECT_EQ(linesOf(cgi)[0].size(), 1187);

    QString mail = WindowF2().EditField1().Text();
    EXPECT_EQ(mail.indexOf(kEmailPlaceholder), 714);
    EXPECT_EQ(mail.indexOf(QStringLiteral("xxxx")), 160);
    EXPECT_EQ(linesOf(mail)[0].size(), 942);
    // The subject is percent-encoded, so that a "#", "&" or "%" in the title
    // cannot cut the mail's address short.
    EXPECT_TRUE(linesOf(mail)[2].contains(QStringLiteral(
        "obj.action='mailto:'+obj.instructor.value+'?subject='+encodeURIComponent(obj.subject.value)};")));

    // The report string stays open until the end of each form's first line.
    for (const QString& form : {cgi, mail}) {
        QString first = linesOf(form)[0];
        EXPECT_EQ(first.indexOf(QChar(u'\'')), first.size() - 3) << first.right(40);
        EXPECT_TRUE(first.endsWith(QStringLiteral("');")));
    }
}

TEST_F(TemplateWindows, OnlyTheRichWindowsAreShownWhenCreated) {
    EXPECT_FALSE(WindowA().Visible());
    EXPECT_FALSE(windowB().Visible());
    EXPECT_FALSE(WindowC().Visible());
    EXPECT_FALSE(WindowD().Visible());
    EXPECT_FALSE(WindowE().Visible());
    EXPECT_FALSE(WindowF().Visible());
    EXPECT_FALSE(WindowF2().Visible());
    EXPECT_TRUE(WindowE2().Visible());
    EXPECT_EQ(WindowE2().Title(), QStringLiteral("Untitled"));
    EXPECT_EQ(WindowF().Title(), QStringLiteral("Edit Domain"));
    EXPECT_EQ(WindowF2().Title(), QStringLiteral("Edit Email"));
}

TEST_F(TemplateWindows, EditorsSelectThePlaceholderEvenWhenCreatedHidden) {
    class WindowF& cgi = WindowF();
    EXPECT_FALSE(cgi.Visible());
    EXPECT_EQ(cgi.EditField1().SelStart(), 25);
    EXPECT_EQ(cgi.EditField1().SelLength(), 14);
    EXPECT_EQ(cgi.EditField1().SelText(), kUrlPlaceholderHost);

    class WindowF2& mail = WindowF2();
    EXPECT_EQ(mail.EditField1().SelStart(), 714);
    EXPECT_EQ(mail.EditField1().SelLength(), 21);
    EXPECT_EQ(mail.EditField1().SelText(), kEmailPlaceholder);

    cgi.Show();
    mail.Show();
    EXPECT_EQ(cgi.EditField1().SelText(), kUrlPlaceholderHost);
    EXPECT_EQ(mail.EditField1().SelText(), kEmailPlaceholder);
    EXPECT_EQ(cgi.PushButton1().Caption(), QStringLiteral("DONE"));
    EXPECT_EQ(mail.StaticText1().Text(),
              QStringLiteral("Simply replace the highlighted text with your email address."));
    EXPECT_TRUE(cgi.StaticText1().Text().contains(QStringLiteral("available at  ") + kGeneriformHomeAddress + " \r"));
    EXPECT_TRUE(cgi.StaticText1().Text().endsWith(QChar(u'\r')));
    EXPECT_TRUE(cgi.StaticText2().Text().contains(QStringLiteral("titled pref.txt with")));
    EXPECT_TRUE(mail.StaticText2().Text().contains(QStringLiteral("titled prefe.txt with")));
    saveScreenshot(cgi, QStringLiteral("WindowF.png"));
    saveScreenshot(mail, QStringLiteral("WindowF2.png"));
}

TEST_F(TemplateWindows, TypingReplacesTheHostAndDoneKeepsTheEdit) {
    class WindowF& editor = WindowF();
    editor.Show();
    QWidget* area = editor.EditField1().widget();
    area->setFocus();
    QTest::keyClicks(area, QStringLiteral("school.example"));
    QString expected = WindowF().EditField1().Text();
    EXPECT_EQ(expected.mid(18, 37), QStringLiteral("http://school.example/cgi-bin/form.pl"));
    EXPECT_EQ(expected.size(), 1598);
    EXPECT_EQ(editor.EditField1().SelStart(), 39);
    EXPECT_EQ(editor.EditField1().SelLength(), 0);

    QTest::mouseClick(editor.PushButton1().widget(), Qt::LeftButton);
    EXPECT_FALSE(editor.Visible());
    EXPECT_EQ(&WindowF(), &editor);
    EXPECT_EQ(WindowF().EditField1().Text(), expected);

    WindowF().Show();
    EXPECT_TRUE(editor.Visible());
    EXPECT_EQ(editor.EditField1().Text(), expected);
    EXPECT_EQ(editor.EditField1().SelStart(), 39);
    EXPECT_EQ(editor.EditField1().SelLength(), 0);
}

TEST_F(TemplateWindows, TheCloseBoxHidesTheEditorAndKeepsItsText) {
    class WindowF2& editor = WindowF2();
    editor.Show();
    QWidget* area = editor.EditField1().widget();
    area->setFocus();
    QTest::keyClicks(area, QStringLiteral("teacher@school.example"));
    QString edited = editor.EditField1().Text();
    EXPECT_EQ(edited.mid(714, 22), QStringLiteral("teacher@school.example"));

    editor.widget()->close();
    EXPECT_FALSE(editor.Visible());
    EXPECT_EQ(&WindowF2(), &editor);
    EXPECT_EQ(WindowF2().EditField1().Text(), edited);
    WindowF2().Show();
    EXPECT_TRUE(editor.Visible());
    EXPECT_EQ(editor.EditField1().Text(), edited);

    QTest::mouseClick(editor.PushButton1().widget(), Qt::LeftButton);
    EXPECT_FALSE(editor.Visible());
    EXPECT_EQ(editor.EditField1().Text(), edited);
}

TEST_F(TemplateWindows, ReportAndFormJoinIntoOneValidScript) {
    QString errors;
    QString cgi = checkFunction(WindowE().EditField1().Text(), WindowF().EditField1().Text());
    int code = nodeCheck(cgi, &errors);
    if (code == -1) GTEST_SKIP() << "node is not installed";
    EXPECT_EQ(code, 0) << errors;

    QString mail = checkFunction(WindowE2().EditField1().Text(), WindowF2().EditField1().Text());
    EXPECT_EQ(nodeCheck(mail, &errors), 0) << errors;

    // Without its form, a report script leaves its string open.
    QString alone = WindowD().EditField1().Text() + QStringLiteral("var grade=1;\n") + WindowE().EditField1().Text() +
                    QStringLiteral(" <P>1) correct</P>}}");
    EXPECT_NE(nodeCheck(alone, &errors), 0);
}
