// "Done" on the real windows: problems submitted with the real "Submit
// Problem" button, then the "Done" button pressed; the written files are read
// back and checked segment by segment.
#include "app/Startup.h"
#include "builder/mainWindow.h"
#include "framework/Files.h"
#include "framework/Instances.h"
#include "framework/files/FileStepFaults.h"
#include "support/FileIdentity.h"
#include "support/Forked.h"
#include "support/Harness.h"
#include "support/PageTexts.h"
#include "support/Privilege.h"
#include "support/RawFolders.h"
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
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextDocument>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// ---- The problems submitted ----

struct Problem {
    QString statement;
    QString var1min, var1max, var1dec;
    QString var2min, var2max, var2dec;
    QString solution;
    QString margin;
    QString decimals;
};

// A car covers [x] km in [y] h.
const Problem kSpeed{QStringLiteral("A car covers [x] km in [y] h. What is its speed in km/h?"),
                     QStringLiteral("10"),
                     QStringLiteral("100"),
                     QStringLiteral("0"),
                     QStringLiteral("1.5"),
                     QStringLiteral("4"),
                     QStringLiteral("1"),
                     QStringLiteral("[x]/[y]"),
                     QStringLiteral("2"),
                     QStringLiteral("1")};
// Chained to the previous problem's x.
const Problem kDistance{QStringLiteral("The car keeps that speed for [y] s. How far does it go?"),
                        {},
                        {},
                        {},
                        QStringLiteral("10"),
                        QStringLiteral("60"),
                        QStringLiteral("0"),
                        QStringLiteral("[x]*[y]"),
                        QStringLiteral("1"),
                        QStringLiteral("No")};
// A negative minimum puts "--" into the random-value statement.
const Problem kNegative{QStringLiteral("Take [x] steps -- forward or back."),
                        QStringLiteral("-5"),
                        QStringLiteral("10"),
                        QStringLiteral("0"),
                        {},
                        {},
                        {},
                        QStringLiteral("[x]--1"),
                        QStringLiteral("0"),
                        QStringLiteral("0")};

// A page as its segments, each with the name it is reported under.
using Segments = std::vector<std::pair<const char*, QString>>;

QString joined(const Segments& segments) {
    QString all;
    for (const auto& segment : segments) all += segment.second;
    return all;
}

// The hidden names a message gives where `expected` reads "<hidden>": each a
// dot and letters or digits, as the program names the files it keeps out of
// sight, and drawn at random. Nothing when the message reads otherwise.
std::optional<QStringList> HiddenNamesIn(const QString& message, const QString& expected) {
    QStringList parts = expected.split(QStringLiteral("<hidden>"));
    for (QString& part : parts) part = QRegularExpression::escape(part);
    const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(parts.join(QStringLiteral("(\\.[A-Za-z0-9]+)"))));
    const QRegularExpressionMatch match = pattern.match(message);
    if (!match.hasMatch()) return std::nullopt;
    QStringList names = match.capturedTexts();
    names.removeFirst();
    return names;
}

class DoneTest : public AppHarness {
protected:
    class mainWindow& main() {
        return mainWindow();
    }

    void submit(const Problem& p) {
        class mainWindow& w = main();
        typeInto(w.probField(), p.statement);
        typeInto(w.var1min(), p.var1min);
        typeInto(w.var1max(), p.var1max);
        typeInto(w.var1dec(), p.var1dec);
        typeInto(w.var2min(), p.var2min);
        typeInto(w.var2max(), p.var2max);
        typeInto(w.var2dec(), p.var2dec);
        typeInto(w.solField(), p.solution);
        selectRow(w.errorbox(), p.margin);
        selectRow(w.decBox(), p.decimals);
        w.nextButton1().Push();
    }
    void setTitle(const QString& title) { typeInto(main().EditField5(), title); }
    void pressDone() { main().PushButton1().Push(); }

    // The fragments as they stand before "Done": what it joins.
    struct Fragments {
        QString head, body, answers, check, report, form;
    };
    Fragments fragments(bool mailto) {
        return {WindowA().EditField1().Text(),
                windowB().EditField1().Text(),
                WindowC().EditField1().Text(),
                WindowD().EditField1().Text(),
                mailto ? WindowE2().EditField1().Text() : WindowE().EditField1().Text(),
                mailto ? WindowF2().EditField1().Text() : WindowF().EditField1().Text()};
    }

    // The nine segments of the page.
    static Segments page(const Fragments& f, const QString& title, const QString& grade, const QString& pageReport,
                         const QString& mailReport) {
        return {{"1 page head", f.head},
                {"2 script include", scriptInclude(title)},
                {"3 grading and grade formula", f.check + kGradeStatement + grade},
                {"4 line end", QStringLiteral("\n")},
                {"5 report script and page report", f.report + pageReport},
                {"6 results form", f.form},
                {"7 quesgrades statement", kQuesgrades + mailReport + QStringLiteral("}")},
                {"8 page body", f.body},
                {"9 page tail", kPageTail}};
    }

    // Walks the written page segment by segment.
    void expectPage(const QString& fileName, const Segments& segments) {
        const QByteArray bytes = readFile(fileName);
        ASSERT_TRUE(fileExists(fileName)) << fileName;
        const QString text = QString::fromUtf8(bytes);
        qsizetype at = 0;
        for (const auto& [name, expected] : segments) {
            EXPECT_EQ(text.mid(at, expected.size()), expected) << "segment " << name;
            at += expected.size();
        }
        EXPECT_EQ(at, text.size()) << "the page is longer or shorter than its segments";
        EXPECT_EQ(bytes, joined(segments).toUtf8());
    }

    QStringList folderEntries() const {
        return QDir(folder_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

// ---- Pages in each delivery mode ----

// Two problems with mailto: delivery: the grade formula and both reports for two problems.
TEST_F(DoneTest, MailtoPageOfTwoProblems) {
    setTitle(QStringLiteral("Quiz7"));
    main().RadioButton1().SetValue(true);
    submit(kSpeed);
    submit(kDistance);
    ASSERT_EQ(main().numField6().Text(), QStringLiteral("3"));
    const Fragments before = fragments(true);
    const QString reportScriptBefore = WindowE2().EditField1().Text();

    pressDone();

    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(quits_, std::vector<int>{0});
    expectPage(QStringLiteral("Quiz7.html"), page(before, QStringLiteral("Quiz7"), kGradeTwo, kPageTwo, kMailTwo));
    EXPECT_EQ(readFile(QStringLiteral("Quiz7.js")), before.answers.toUtf8());
    EXPECT_EQ(before.answers, QStringLiteral("a[1]=Math.round(eval(x[1]/y[1])*Math.pow(10,1))/Math.pow(10,1);"
                                             "a[2]=x[1]*y[2];"));
    // The page report went to the mailto: report script; the CGI one was never made.
    EXPECT_EQ(WindowE2().EditField1().Text(), reportScriptBefore + kPageTwo);
    EXPECT_FALSE(fw::IsLive<class WindowE>());
    // The windows hold the completed texts.
    EXPECT_EQ(WindowA().EditField1().Text(), QString::fromUtf8(readFile(QStringLiteral("Quiz7.html"))));
    EXPECT_EQ(windowB().EditField1().Text(), before.body + kPageTail);
    EXPECT_TRUE(
        WindowD().EditField1().Text().startsWith(before.check + kGradeStatement + kGradeTwo + QStringLiteral("\n")));
}

class CgiDoneTest : public DoneTest {
protected:
    // One problem with the CGI texts; `chooseCgi` false leaves both radio buttons unset.
    void run(bool chooseCgi) {
        setTitle(QStringLiteral("Speed"));
        if (chooseCgi) main().RadioButton2().SetValue(true);
        submit(kSpeed);
        const Fragments before = fragments(false);

        pressDone();

        EXPECT_TRUE(messages_.empty());
        EXPECT_EQ(quits_, std::vector<int>{0});
        expectPage(QStringLiteral("Speed.html"), page(before, QStringLiteral("Speed"), kGradeOne, kPageOne, kMailOne));
        EXPECT_EQ(readFile(QStringLiteral("Speed.js")),
                  QByteArray("a[1]=Math.round(eval(x[1]/y[1])*Math.pow(10,1))/Math.pow(10,1);"));
        EXPECT_FALSE(fw::IsLive<class WindowE2>());
        EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("Speed.html"), QStringLiteral("Speed.js")}));
    }
};

TEST_F(CgiDoneTest, CgiPageOfOneProblem) { run(true); }

TEST_F(CgiDoneTest, NeitherRadioButtonGivesTheCgiPage) { run(false); }

// After "Done" each fragment's window holds it completed as the page holds
// it, and the page head's window the whole page.
class CompletedFragmentsTest : public DoneTest {
protected:
    void expectCompleted(const Segments& page, bool mailto) {
        ASSERT_EQ(page.size(), 9u);
        QString check;
        for (size_t i = 2; i <= 6; ++i) check += page[i].second;  // grading to the quesgrades statement
        EXPECT_EQ(WindowD().EditField1().Text(), check);
        EXPECT_EQ(windowB().EditField1().Text(), page[7].second + page[8].second);
        fw::TextArea& report = mailto ? WindowE2().EditField1() : WindowE().EditField1();
        EXPECT_EQ(report.Text(), page[4].second);
        EXPECT_EQ(WindowA().EditField1().Text(), joined(page));
    }
};

TEST_F(CompletedFragmentsTest, Mailto) {
    setTitle(QStringLiteral("Quiz7"));
    main().RadioButton1().SetValue(true);
    submit(kSpeed);
    submit(kDistance);
    const Fragments before = fragments(true);
    pressDone();
    ASSERT_EQ(quits_, std::vector<int>{0});
    const Segments page = DoneTest::page(before, QStringLiteral("Quiz7"), kGradeTwo, kPageTwo, kMailTwo);
    expectCompleted(page, true);
    // The mailto: report window is on screen: painted, it shows its whole new text.
    ASSERT_TRUE(WindowE2().Visible());
    auto* shown = static_cast<QPlainTextEdit*>(WindowE2().EditField1().widget());
    shown->grab();
    EXPECT_EQ(shown->document()->toPlainText(), QString(page[4].second).replace(QChar(u'\r'), QChar(u'\n')));
}

TEST_F(CompletedFragmentsTest, Cgi) {
    setTitle(QStringLiteral("Speed"));
    main().RadioButton2().SetValue(true);
    submit(kSpeed);
    const Fragments before = fragments(false);
    pressDone();
    ASSERT_EQ(quits_, std::vector<int>{0});
    expectCompleted(DoneTest::page(before, QStringLiteral("Speed"), kGradeOne, kPageOne, kMailOne), false);
}

TEST_F(DoneTest, NoProblemStillWritesBothFiles) {
    setTitle(QStringLiteral("Empty"));
    const Fragments before = fragments(false);
    pressDone();
    EXPECT_EQ(quits_, std::vector<int>{0});
    expectPage(QStringLiteral("Empty.html"), page(before, QStringLiteral("Empty"), kGradeNone, kPageNone, kMailNone));
    EXPECT_TRUE(before.head.contains(QStringLiteral("<title>xxxx</title>")));
    EXPECT_TRUE(fileExists(QStringLiteral("Empty.js")));
    EXPECT_TRUE(readFile(QStringLiteral("Empty.js")).isEmpty());
}

// ---- Refusals ----

TEST_F(DoneTest, UnsubmittedProblemIsRefusedAfterTheDoubleMinusFix) {
    setTitle(QStringLiteral("Steps"));
    submit(kNegative);
    const QString drawn = QStringLiteral("x[1]=Math.round(((10--5)*Math.random()+-5)*Math.pow(10,0))/Math.pow(10,0);");
    const QString fixed = QStringLiteral("x[1]=Math.round(((10+5)*Math.random()+-5)*Math.pow(10,0))/Math.pow(10,0);");
    ASSERT_TRUE(WindowA().EditField1().Text().endsWith(drawn));
    typeInto(main().probField(), QStringLiteral(" "));
    const Fragments before = fragments(false);

    pressDone();

    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("submit your last problem before using this")});
    EXPECT_TRUE(quits_.empty());
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_TRUE(WindowA().EditField1().Text().endsWith(fixed));
    const Fragments after = fragments(false);
    EXPECT_EQ(after.body, before.body);
    EXPECT_EQ(after.check, before.check);
    EXPECT_EQ(after.answers, before.answers);
    EXPECT_EQ(after.report, before.report);
}

TEST_F(DoneTest, DoubleMinusIsFixedOnlyInThePageHead) {
    setTitle(QStringLiteral("Q--7"));
    submit(kNegative);
    pressDone();
    ASSERT_EQ(quits_, std::vector<int>{0});
    const QString page = QString::fromUtf8(readFile(QStringLiteral("Q--7.html")));
    EXPECT_TRUE(page.startsWith(QStringLiteral("<html><head><title>Q+7</title>")));
    EXPECT_TRUE(
        page.contains(QStringLiteral("x[1]=Math.round(((10+5)*Math.random()+-5)*Math.pow(10,0))/Math.pow(10,0);") +
                      scriptInclude(QStringLiteral("Q--7"))));
    EXPECT_TRUE(page.contains(QStringLiteral("<font size=+1 color=555555>Q--7</font>")));  // the body's header
    EXPECT_TRUE(page.contains(QStringLiteral("Take <SCRIPT")));
    EXPECT_TRUE(page.contains(QStringLiteral(" steps -- forward or back.")));  // the statement
    EXPECT_TRUE(page.contains(QStringLiteral("Problem Set--you must")));       // the tail
    EXPECT_EQ(readFile(QStringLiteral("Q--7.js")),
              QByteArray("a[1]=Math.round(eval(x[1]--1)*Math.pow(10,0))/Math.pow(10,0);"));
}

TEST_F(DoneTest, TitleChangedAfterFirstSubmission) {
    setTitle(QStringLiteral("First"));
    submit(kSpeed);
    setTitle(QStringLiteral("Second"));
    pressDone();
    ASSERT_EQ(quits_, std::vector<int>{0});
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("Second.html"), QStringLiteral("Second.js")}));
    const QString page = QString::fromUtf8(readFile(QStringLiteral("Second.html")));
    EXPECT_TRUE(page.startsWith(QStringLiteral("<html><head><title>First</title>")));
    EXPECT_TRUE(page.contains(QStringLiteral("color=555555>First</font>")));
    EXPECT_TRUE(page.contains(QStringLiteral("value=\"First\"")));  // the form's subject
    EXPECT_TRUE(page.contains(scriptInclude(QStringLiteral("Second"))));
}

TEST_F(DoneTest, ExistingFilesAreReplaced) {
    writeFile(QStringLiteral("Speed.html"), "an older test, longer than nothing");
    writeFile(QStringLiteral("Speed.js"), "a[1]=42;a[2]=43;");
    setTitle(QStringLiteral("Speed"));
    submit(kSpeed);
    const Fragments before = fragments(false);
    pressDone();
    EXPECT_TRUE(messages_.empty());
    expectPage(QStringLiteral("Speed.html"), page(before, QStringLiteral("Speed"), kGradeOne, kPageOne, kMailOne));
    EXPECT_EQ(readFile(QStringLiteral("Speed.js")), before.answers.toUtf8());
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("Speed.html"), QStringLiteral("Speed.js")}));
}

// ---- Encoding and the title in the page ----

TEST_F(DoneTest, NonAsciiTextStartsTheFileWithAByteOrderMark) {
    setTitle(QStringLiteral("W\u00fcrfel"));
    submit(kSpeed);
    const Fragments before = fragments(false);
    pressDone();
    ASSERT_EQ(quits_, std::vector<int>{0});
    const QByteArray bytes = readFile(QStringLiteral("W\u00fcrfel.html"));
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.mid(3),
              joined(page(before, QStringLiteral("W\u00fcrfel"), kGradeOne, kPageOne, kMailOne)).toUtf8());
    EXPECT_TRUE(bytes.contains("src='W\xC3\xBCrfel.js'"));
    // The answer script is plain ASCII: written as it stands.
    EXPECT_EQ(readFile(QStringLiteral("W\u00fcrfel.js")), before.answers.toUtf8());
}

TEST_F(DoneTest, TitleGoesIntoTheScriptElementSafelyAndIntoFileNamesAsTyped) {
    setTitle(QStringLiteral("It's"));
    pressDone();
    ASSERT_EQ(quits_, std::vector<int>{0});
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("It's.html"), QStringLiteral("It's.js")}));
    EXPECT_TRUE(
        QString::fromUtf8(readFile(QStringLiteral("It's.html"))).contains(scriptInclude(QStringLiteral("It&#39;s"))));
}

// ---- Faults that leave the teacher's work in place ----

class DoneFailureTest : public DoneTest {
protected:
    // A test ready for "Done": one problem, CGI delivery, title "Speed".
    void prepare(const QString& title = QStringLiteral("Speed")) {
        setTitle(title);
        main().RadioButton2().SetValue(true);
        submit(kSpeed);
        before_ = fragments(false);
    }
    // Nothing of the run was kept: no quit, windows as they were.
    void expectWorkKept() {
        EXPECT_TRUE(quits_.empty());
        const Fragments now = fragments(false);
        EXPECT_EQ(now.head, before_.head);
        EXPECT_EQ(now.body, before_.body);
        EXPECT_EQ(now.answers, before_.answers);
        EXPECT_EQ(now.check, before_.check);
        EXPECT_EQ(now.report, before_.report);
        EXPECT_EQ(now.form, before_.form);
        EXPECT_EQ(main().numField6().Text(), QStringLiteral("2"));
    }
    // The second "Done" writes what a first, clean one writes.
    void expectCleanRetry(const QString& title = QStringLiteral("Speed")) {
        const std::size_t messages = messages_.size();
        pressDone();
        EXPECT_EQ(messages_.size(), messages);
        EXPECT_EQ(quits_, std::vector<int>{0});
        expectPage(title + QStringLiteral(".html"), page(before_, title, kGradeOne, kPageOne, kMailOne));
        EXPECT_EQ(readFile(title + QStringLiteral(".js")), before_.answers.toUtf8());
        EXPECT_EQ(WindowE().EditField1().Text(), before_.report + kPageOne);  // one report, not two
    }
    Fragments before_;
};

TEST_F(DoneFailureTest, FolderInTheWayOfThePage) {
    writeFile(QStringLiteral("Speed.js"), "old answers");
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("Speed.html")));
    prepare();
    pressDone();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QDir::toNativeSeparators(path(QStringLiteral("Speed.html")))));
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("folder")));
    expectWorkKept();
    EXPECT_EQ(readFile(QStringLiteral("Speed.js")), QByteArray("old answers"));
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("Speed.html"), QStringLiteral("Speed.js")}));

    ASSERT_TRUE(QDir(folder_.path()).rmdir(QStringLiteral("Speed.html")));
    expectCleanRetry();
}

TEST_F(DoneFailureTest, FolderInTheWayOfTheAnswerScriptKeepsTheOldPage) {
    writeFile(QStringLiteral("Speed.html"), "old page");
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("Speed.js")));
    prepare();
    pressDone();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QDir::toNativeSeparators(path(QStringLiteral("Speed.js")))));
    expectWorkKept();
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), QByteArray("old page"));
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("Speed.html"), QStringLiteral("Speed.js")}));

    ASSERT_TRUE(QDir(folder_.path()).rmdir(QStringLiteral("Speed.js")));
    expectCleanRetry();
}

// The folder is gone when "Done" is pressed (moved away by another program):
// not even the first file can be made, whoever runs the program.
TEST_F(DoneFailureTest, FolderGoneUnderTheProgram) {
    writeFile(QStringLiteral("Speed.html"), "old page");
    prepare();
    const QString moved = folder_.path() + QStringLiteral("-moved");
    ASSERT_TRUE(QDir().rename(folder_.path(), moved));
    pressDone();
    ASSERT_TRUE(QDir().rename(moved, folder_.path()));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("Speed.html")));
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("No such file or directory")));
    expectWorkKept();
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Speed.html")});
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), QByteArray("old page"));

    expectCleanRetry();
}

// Without a title the files would be ".html" and ".js", hidden from the
// teacher: "Done" asks for one instead.
TEST_F(DoneFailureTest, EmptyTitleIsRefused) {
    prepare(QString());
    pressDone();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("no title"))) << messages_[0];
    expectWorkKept();
    EXPECT_TRUE(folderEntries().isEmpty());
    setTitle(QStringLiteral("Speed"));
    expectCleanRetry(QStringLiteral("Speed"));
}

TEST_F(DoneFailureTest, TitleThatCannotNameAFile) {
    for (const QString& title : {QStringLiteral("a/b"), QStringLiteral("."), QStringLiteral("..")}) {
        SCOPED_TRACE(title);
        messages_.clear();
        setTitle(title);
        if (before_.head.isEmpty()) prepare(title);
        pressDone();
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_TRUE(messages_[0].contains(QStringLiteral("\"") + title + QStringLiteral("\"")));
        expectWorkKept();
        EXPECT_TRUE(folderEntries().isEmpty());
    }
    // The page's title and subject came from the first submission ("a/b");
    // only the script element and the file names take the new title.
    setTitle(QStringLiteral("ab"));
    expectCleanRetry(QStringLiteral("ab"));
}

TEST_F(DoneFailureTest, ProblemNumberOutOfRange) {
    prepare();
    const QString pasted = QString(1 << 20, QLatin1Char('9'));  // a megabyte pasted by mistake
    const struct {
        QString number;
        QString quoted;
        QString limit;
    } rows[] = {
        {QStringLiteral("1e400"), QStringLiteral("1e400"), QStringLiteral("at most 100000 problems")},
        {QStringLiteral("100002"), QStringLiteral("100002"), QStringLiteral("at most 100000 problems")},
        {QStringLiteral("1e6%1"), QStringLiteral("1e6%1"), QStringLiteral("at most 100000 problems")},
        {QStringLiteral("-1e300%2"), QStringLiteral("-1e300%2"), QStringLiteral("at least 0 problems")},
        {pasted, QString(40, QLatin1Char('9')) + QStringLiteral("..."), QStringLiteral("at most 100000 problems")}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.number.left(40));
        messages_.clear();
        typeInto(main().numField6(), row.number);
        pressDone();
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_TRUE(messages_[0].contains(QStringLiteral("\"") + row.quoted + QStringLiteral("\"")))
            << messages_[0].left(400);
        EXPECT_TRUE(messages_[0].contains(row.limit)) << messages_[0].left(400);
        EXPECT_LT(messages_[0].size(), 400);
        typeInto(main().numField6(), QStringLiteral("2"));
        expectWorkKept();
        EXPECT_TRUE(folderEntries().isEmpty());
    }
    expectCleanRetry();
}

TEST_F(DoneFailureTest, TitleWithAControlCharacter) {
    prepare();
    for (const char16_t c : {u'\t', u'\n', u'\r', u'\x01', u'\x1f'}) {
        SCOPED_TRACE(int(c));
        messages_.clear();
        setTitle(QStringLiteral("Quiz") + QChar(c) + QStringLiteral("10"));
        pressDone();
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_TRUE(messages_[0].contains(QStringLiteral("control character"))) << messages_[0];
        expectWorkKept();
        EXPECT_TRUE(folderEntries().isEmpty());
    }
    setTitle(QStringLiteral("Quiz 10"));  // a blank is no control character
    expectCleanRetry(QStringLiteral("Quiz 10"));
}

// A title whose page name the folder can hold: both files are written.
class LongTitleTest : public DoneFailureTest {
protected:
    void expectAccepted(int length) {
        const QString title(length, QLatin1Char('q'));
        setTitle(title);
        pressDone();
        EXPECT_TRUE(messages_.empty());
        EXPECT_EQ(quits_, std::vector<int>{0});
        EXPECT_EQ(folderEntries(), (QStringList{title + QStringLiteral(".html"), title + QStringLiteral(".js")}));
        EXPECT_TRUE(readFile(title + QStringLiteral(".html")).contains(scriptInclude(title).toUtf8()));
    }
};

TEST_F(LongTitleTest, TitleOf245Characters) { expectAccepted(245); }

TEST_F(LongTitleTest, TitleWhosePageNameIsTheLongestTheFolderHolds) { expectAccepted(int(fw::FileNameLimit()) - 5); }

TEST_F(DoneFailureTest, TitleTooLongForAFileNameIsRefusedAndShownShort) {
    prepare();
    const int limit = int(fw::FileNameLimit());
    const QString titles[] = {
        QString(limit - 4, QLatin1Char('q')),  // one byte too many
        QStringLiteral("Chapter ") + QString(292, QLatin1Char('7')),
        QString(limit / 2, QChar(0xE9)),     // few characters, but two bytes each
        QString(1 << 20, QLatin1Char('z')),  // a megabyte
    };
    for (const QString& title : titles) {
        SCOPED_TRACE(title.size());
        messages_.clear();
        setTitle(title);
        pressDone();
        ASSERT_EQ(messages_.size(), 1u);
        const QString& message = messages_[0];
        EXPECT_TRUE(message.contains(QStringLiteral("too long"))) << message;
        EXPECT_TRUE(message.contains(QStringLiteral("\"") + title.left(40) + QStringLiteral("...\""))) << message;
        EXPECT_LT(message.size(), 400);
        expectWorkKept();
        EXPECT_TRUE(folderEntries().isEmpty());
    }
}

// ---- Where the files go ----

class DoneFolderTest : public DoneFailureTest {
protected:
    // The program finds itself in `folder`, as through /proc/self/exe.
    void runFrom(const NonUtf8Folder& folder) {
        ASSERT_TRUE(folder.isValid());
        ASSERT_EQ(::symlink(folder.file("quillory3").constData(), folder.beside("exe").constData()), 0);
        findFolderThrough(folder.beside("exe"));
    }
};

// A folder named by bytes that are not UTF-8 gets both files, the same bytes
// as any folder gets; the working directory gets nothing.
TEST_F(DoneFolderTest, BothFilesGoIntoAFolderNamedByBytesThatAreNotUtf8) {
    const NonUtf8Folder folder;
    runFrom(folder);
    const OtherWorkingDirectory elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    prepare();

    pressDone();

    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(quits_, std::vector<int>{0});
    EXPECT_EQ(RawEntries(folder.path()), (std::vector<QByteArray>{"Speed.html", "Speed.js"}));
    EXPECT_EQ(RawRead(folder.file("Speed.html")),
              joined(page(before_, QStringLiteral("Speed"), kGradeOne, kPageOne, kMailOne)).toUtf8());
    EXPECT_EQ(RawRead(folder.file("Speed.js")), before_.answers.toUtf8());
    EXPECT_TRUE(elsewhere.entries().empty());
    EXPECT_TRUE(folderEntries().isEmpty());
}

// A failure there names the file in that folder, as far as text can show it.
TEST_F(DoneFolderTest, AFailureInAFolderNamedByBytesNamesThatFolder) {
    const NonUtf8Folder folder;
    runFrom(folder);
    ASSERT_EQ(::mkdir(folder.file("Speed.html").constData(), 0755), 0);
    const OtherWorkingDirectory elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    prepare();

    pressDone();

    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("\"") + QFile::decodeName(folder.file("Speed.html")) +
                                      QStringLiteral("\" could not be written (a folder of that name is in the way)")))
        << messages_[0];
    expectWorkKept();
    EXPECT_EQ(RawEntries(folder.path()), std::vector<QByteArray>{"Speed.html"});
    EXPECT_TRUE(elsewhere.entries().empty());
}

// Where the program cannot tell which folder it is in, "Done" says so,
// writes nothing anywhere and keeps the work; once the folder is known again,
// the same work is saved there.
TEST_F(DoneFolderTest, WhereTheFolderIsUnknownNothingIsWrittenAndTheWorkIsKept) {
    const RawTemporaryFolder links;
    ASSERT_TRUE(links.isValid());
    findFolderThrough(links.file("proc/self/exe"));
    const OtherWorkingDirectory elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    prepare();
    ASSERT_EQ(messages_.size(), 1u);  // the start-up's
    messages_.clear();
    const QString refusal =
        QStringLiteral(
            "The test could not be saved: the program cannot tell which folder it is in (\"%1/proc/self/exe\" "
            "could not be read: No such file or directory), and it saves only there. Nothing was written; "
            "your work is kept.")
            .arg(QFile::decodeName(links.path()));

    pressDone();
    pressDone();

    EXPECT_EQ(messages_, (std::vector<QString>{refusal, refusal}));
    expectWorkKept();
    EXPECT_TRUE(elsewhere.entries().empty());
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_EQ(RawEntries(links.path()), std::vector<QByteArray>{});

    messages_.clear();
    fw::SetApplicationFolder(folder_.path());
    expectCleanRetry();
    EXPECT_TRUE(elsewhere.entries().empty());
}

// ---- Faults of the file system, as they happen to any user, root included ----

// The second file cannot replace its old one after the first did: the first
// is undone, and both old files are back as the very same files.
TEST_F(DoneFailureTest, SecondReplacementFailsAndTheOldPairStays) {
    writeFile(QStringLiteral("Speed.html"), "old page");
    writeFile(QStringLiteral("Speed.js"), "old answers");
    ::chmod(QFile::encodeName(path(QStringLiteral("Speed.html"))).constData(), 0640);
    const FileIdentity page = IdentityOf(path(QStringLiteral("Speed.html")));
    const FileIdentity answers = IdentityOf(path(QStringLiteral("Speed.js")));
    prepare();
    fw::testing::FailStep(fw::testing::Step::PutInPlace, QStringLiteral("Speed.js"), EPERM);

    pressDone();

    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QDir::toNativeSeparators(path(QStringLiteral("Speed.js")))));
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("(Operation not permitted)"))) << messages_[0];
    EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.html"))), page);
    EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.js"))), answers);
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("Speed.html"), QStringLiteral("Speed.js")}));
    expectWorkKept();
    expectCleanRetry();
}

TEST_F(DoneFailureTest, SecondFileFailsWhereNoOldFilesWere) {
    prepare();
    fw::testing::FailStep(fw::testing::Step::PutInPlace, QStringLiteral("Speed.js"), EIO);
    pressDone();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("Speed.js")));
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("(Input/output error)")));
    EXPECT_TRUE(folderEntries().isEmpty());
    expectWorkKept();
    expectCleanRetry();
}

// A disk that fills while the page is written: the soft file-size limit
// makes write() fail with EFBIG once SIGXFSZ is ignored.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }

private:
    rlimit saved_{};
    void (*savedHandler_)(int) = nullptr;
};

TEST_F(DoneFailureTest, FullDiskKeepsTheOldFilesAndSaysWhy) {
    writeFile(QStringLiteral("Speed.html"), "old page");
    writeFile(QStringLiteral("Speed.js"), "old answers");
    prepare();
    ASSERT_GT(before_.head.size() + kPageTail.size(), 1024);  // the page outgrows the limit
    {
        const FileSizeLimit limit(1024);
        pressDone();
    }
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QDir::toNativeSeparators(path(QStringLiteral("Speed.html")))));
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("(File too large)"))) << messages_[0];
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), QByteArray("old page"));
    EXPECT_EQ(readFile(QStringLiteral("Speed.js")), QByteArray("old answers"));
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("Speed.html"), QStringLiteral("Speed.js")}));
    expectWorkKept();
    expectCleanRetry();
}

// The page must stay readable by a web server: a new file gets 0666 less the
// umask, a replaced one keeps its own permissions.
TEST_F(DoneFailureTest, WrittenFilesGetTheUsualPermissions) {
    writeFile(QStringLiteral("Speed.html"), "old page");
    ::chmod(QFile::encodeName(path(QStringLiteral("Speed.html"))).constData(), 0640);
    prepare();
    const mode_t saved = ::umask(022);
    pressDone();
    ::umask(saved);
    ASSERT_EQ(quits_, std::vector<int>{0});
    EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.html"))).mode, 0640u);
    EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.js"))).mode, 0644u);
}

// ---- A "Done" cut off, and the next start ----

class InterruptedDoneTest : public DoneFailureTest {
protected:
    // The program starts again: new windows, whose Open settles what an
    // earlier run left.
    void restart() {
        fw::DestroyAllInstances();
        messages_.clear();
        NewAppInstance();
        main();
    }
    void writeOldPair() {
        writeFile(QStringLiteral("Speed.html"), "old page");
        writeFile(QStringLiteral("Speed.js"), "old answers");
    }
    // "Done" pressed in a child that stops, as a crash stops it, just before
    // `file` is put in place (or, for another `step`, just before it is taken
    // for `file`); the child's status.
    int pressDoneAndStopBefore(const QString& file, fw::testing::Step at = fw::testing::Step::PutInPlace) {
        return RunInChild([&] {
            fw::testing::ObserveSteps([&](fw::testing::Step step, const QString& name, bool done) {
                if (step == at && name == file && !done) ::_exit(kStoppedDone);
            });
            pressDone();
            return 0;
        });
    }
    static constexpr int kStoppedDone = 3;
    const QStringList pair_{QStringLiteral("Speed.html"), QStringLiteral("Speed.js")};
};

// "Done" pressed in a child that stops at each step of writing the pair in
// turn, as a crash or a power cut stops the program; the next start puts the
// old pair back or keeps the new one whole, says so, and leaves no hidden file.
TEST_F(InterruptedDoneTest, EveryStopIsSettledAtTheNextStart) {
    constexpr int kStopped = 3;
    const QString putBack =
        QStringLiteral("An earlier \"Done\" for \"Speed\" was interrupted; the files from before it were put back.");
    const QString kept = QStringLiteral(
        "An earlier \"Done\" for \"Speed\" was interrupted; both new files were already in place and were kept.");
    // Nothing but the targets is left: the old pair or the new one, whole.
    const QString untouched = QStringLiteral(
        "An earlier \"Done\" for \"Speed\" was interrupted; nothing was left half done, and no file was changed.");
    std::vector<QString> seen;
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        ASSERT_LT(n, 40) << "Done never ends";
        for (const QString& name : folderEntries()) QFile::remove(path(name));
        writeOldPair();
        const FileIdentity oldPage = IdentityOf(path(QStringLiteral("Speed.html")));
        const FileIdentity answers = IdentityOf(path(QStringLiteral("Speed.js")));
        restart();
        ASSERT_TRUE(messages_.empty());
        prepare();
        const int status = RunInChild([&] {
            int steps = 0;
            fw::testing::ObserveSteps([&](fw::testing::Step, const QString&, bool done) {
                if (!done && ++steps == n) ::_exit(kStopped);
            });
            pressDone();
            return quits_.size() == 1 ? 0 : 1;
        });
        if (status == 0) break;
        ASSERT_EQ(status, kStopped);

        restart();

        EXPECT_LE(messages_.size(), 1u);
        const QString message = messages_.empty() ? QString() : messages_[0];
        EXPECT_TRUE(message.isEmpty() || message == putBack || message == kept || message == untouched) << message;
        if (readFile(QStringLiteral("Speed.html")) != "old page") {
            EXPECT_TRUE(message == kept || message == untouched) << message;
            expectPage(QStringLiteral("Speed.html"),
                       page(before_, QStringLiteral("Speed"), kGradeOne, kPageOne, kMailOne));
            EXPECT_EQ(readFile(QStringLiteral("Speed.js")), before_.answers.toUtf8());
        } else {
            EXPECT_NE(message, kept);
            EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.html"))), oldPage);
            EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.js"))), answers);
        }
        EXPECT_EQ(folderEntries(), pair_);
        seen.push_back(message);
    }
    for (const QString& message : {putBack, kept, untouched})
        EXPECT_NE(std::find(seen.begin(), seen.end(), message), seen.end()) << message;
}

// Where no old pair was, the start removes the files a cut-off "Done" had
// begun; a "Done" cut off only before its record went had both new files in
// place, and they stay as they are.
TEST_F(InterruptedDoneTest, WithNoOldPairTheBegunFilesAreRemovedAndAFinishedPairStays) {
    prepare();
    ASSERT_EQ(pressDoneAndStopBefore(QStringLiteral("Speed.js")), kStoppedDone);
    ASSERT_TRUE(fileExists(QStringLiteral("Speed.html")));  // the page alone, as the crash left it

    restart();

    EXPECT_EQ(messages_,
              std::vector<QString>{QStringLiteral(
                  "An earlier \"Done\" for \"Speed\" was interrupted; the files it had begun were removed.")});
    EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(' ');

    prepare();
    ASSERT_EQ(pressDoneAndStopBefore(QString(), fw::testing::Step::RemoveJournal), kStoppedDone);
    ASSERT_TRUE(folderEntries().contains(QStringLiteral(".quillory3-commit")));
    const FileIdentity newPage = IdentityOf(path(QStringLiteral("Speed.html")));
    const FileIdentity newAnswers = IdentityOf(path(QStringLiteral("Speed.js")));

    restart();

    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("An earlier \"Done\" for \"Speed\" was interrupted; "
                                                             "nothing was left half done, and no file was changed.")});
    expectPage(QStringLiteral("Speed.html"), page(before_, QStringLiteral("Speed"), kGradeOne, kPageOne, kMailOne));
    EXPECT_EQ(readFile(QStringLiteral("Speed.js")), before_.answers.toUtf8());
    EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.html"))), newPage);
    EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.js"))), newAnswers);
    EXPECT_EQ(folderEntries(), pair_);
}

// A record that cannot be read: no file is touched, and the message names
// the record; "Done" refuses until the record is dealt with.
TEST_F(InterruptedDoneTest, AnUnreadableRecordIsReportedAndNothingIsTouched) {
    writeOldPair();
    writeFile(QStringLiteral(".quillory3-commit"), "quillory3 commit\nnot a file line\nbegun\n");

    restart();

    const QString record = QDir::toNativeSeparators(path(QStringLiteral(".quillory3-commit")));
    EXPECT_EQ(
        messages_,
        std::vector<QString>{
            QStringLiteral("The record \"%1\" of a \"Done\" could not be used (it is not a record that this "
                           "program writes), so no file was changed for it. Check the test's files beside it, then "
                           "remove \"%1\": while it stays, \"Done\" cannot save in this folder.")
                .arg(record)});
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), "old page");

    prepare();
    messages_.clear();
    pressDone();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(path(QStringLiteral(".quillory3-commit")))) << messages_[0];
    expectWorkKept();
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), "old page");

    QFile::remove(path(QStringLiteral(".quillory3-commit")));
    expectCleanRetry();
}

// Another copy of the program that keeps the folder busy: after the wait,
// a message, and nothing is written.
TEST_F(InterruptedDoneTest, AFolderKeptBusyByAnotherCopyIsReported) {
    writeOldPair();
    prepare();
    Signal locked;
    Signal release;
    // The other copy holds the folder with a record of its own, as a copy
    // holds it while it saves.
    const pid_t other = StartChild([&] {
        const QByteArray record = QFile::encodeName(path(QStringLiteral(".quillory3-commit")));
        const int fd = ::open(record.constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
        const QByteArray claim = "quillory3 commit\nby a-host a-boot 1 1\nbegun\n";
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(fd, claim.constData(), claim.size()) != claim.size())
            return 1;
        locked.Give();
        release.Wait();
        return ::unlink(record.constData());
    });
    ASSERT_TRUE(locked.Wait());
    fw::testing::SetLockTimeout(std::chrono::milliseconds(200));

    pressDone();

    release.Give();
    EXPECT_EQ(WaitForChild(other), 0);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(
        messages_[0].contains(QStringLiteral("(another copy of the program kept the folder busy for too long)")))
        << messages_[0];
    expectWorkKept();
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), "old page");
    EXPECT_EQ(readFile(QStringLiteral("Speed.js")), "old answers");
    expectCleanRetry();
    EXPECT_EQ(folderEntries(), pair_);
}

}  // namespace

namespace {

// Every message that quotes the title shows its first 40 characters and
// "...": a refused title, one with "/" too, a failed write, two files that
// are one, an undo that leaves a file, and the start's messages after a
// "Done" cut off, settled or not.
TEST_F(InterruptedDoneTest, EveryMessageThatQuotesTheTitleShowsItShort) {
    const QString title = QStringLiteral("Physics ") + QString(60, QLatin1Char('x'));
    const QString shown = title.left(40) + QStringLiteral("...");
    const QString folder = QDir::toNativeSeparators(folder_.path()) + QDir::separator();
    const QString page = folder + shown + QStringLiteral(".html");
    const QString answers = folder + shown + QStringLiteral(".js");
    const auto encodedName = [&](const char* extension) {
        return QFile::encodeName(path(title + QLatin1String(extension)));
    };
    prepare(title);

    setTitle(title + QStringLiteral("\t"));
    pressDone();
    setTitle(title);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("\"") + shown + QStringLiteral("\""))) << messages_[0];

    const QString slashed = QStringLiteral("Physics/") + QString(60, QLatin1Char('x'));
    setTitle(slashed);
    pressDone();
    setTitle(title);
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_TRUE(messages_[1].contains(QStringLiteral("\"") + slashed.left(40) + QStringLiteral("...\"")))
        << messages_[1];
    EXPECT_FALSE(messages_[1].contains(slashed)) << messages_[1];

    fw::testing::FailStep(fw::testing::Step::PutInPlace, title + QStringLiteral(".js"), EIO);
    pressDone();
    ASSERT_EQ(messages_.size(), 3u);
    EXPECT_EQ(messages_[2], QStringLiteral("The test could not be saved: \"%1\" could not be written (Input/output "
                                           "error). Your work is kept; fix the cause and press \"Done\" again.")
                                .arg(answers));

    ASSERT_EQ(::symlink(encodedName(".js").constData(), encodedName(".html").constData()), 0);
    pressDone();
    ASSERT_EQ(messages_.size(), 4u);
    EXPECT_EQ(messages_[3], QStringLiteral("The test could not be saved: \"%1\" could not be written (it is the same "
                                           "file as \"%2\"). Your work is kept; fix the cause and press \"Done\" "
                                           "again.")
                                .arg(answers, page));
    QFile::remove(path(title + QStringLiteral(".html")));

    writeFile(title + QStringLiteral(".html"), "old page");
    writeFile(title + QStringLiteral(".js"), "old answers");
    fw::testing::FailStep(fw::testing::Step::PutInPlace, title + QStringLiteral(".js"), EIO);
    fw::testing::FailStep(fw::testing::Step::PutBack, title + QStringLiteral(".html"), EACCES);
    pressDone();
    ASSERT_EQ(messages_.size(), 5u);
    EXPECT_TRUE(messages_[4].contains(QStringLiteral("Not everything could be tidied up: the old file of \"%1\" is "
                                                     "kept as \"%2")
                                          .arg(page, folder)))
        << messages_[4];
    EXPECT_FALSE(messages_[4].contains(title)) << messages_[4];
    expectWorkKept();

    // The next start puts the old page back.
    restart();
    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("An earlier \"Done\" for \"%1\" was interrupted; the "
                                                             "files from before it were put back.")
                                                  .arg(shown)});
    EXPECT_EQ(readFile(title + QStringLiteral(".html")), "old page");
    EXPECT_EQ(folderEntries(), (QStringList{title + QStringLiteral(".html"), title + QStringLiteral(".js")}));

    // A start that cannot put the old page back quotes both the title and the page short.
    prepare(title);
    ASSERT_EQ(pressDoneAndStopBefore(title + QStringLiteral(".js")), kStoppedDone);
    fw::testing::FailStep(fw::testing::Step::PutBack, title + QStringLiteral(".html"), EIO);
    restart();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].startsWith(QStringLiteral("An earlier \"Done\" for \"%1\" was interrupted, and not all "
                                                       "of it could be settled: the old file of \"%2\" is kept as \"")
                                            .arg(shown, page)))
        << messages_[0];
    EXPECT_FALSE(messages_[0].contains(title)) << messages_[0];

    restart();
    EXPECT_EQ(readFile(title + QStringLiteral(".html")), "old page");
    EXPECT_EQ(readFile(title + QStringLiteral(".js")), "old answers");
    EXPECT_EQ(folderEntries(), (QStringList{title + QStringLiteral(".html"), title + QStringLiteral(".js")}));
}

// A colleague's record in a shared folder is never called an interrupted
// "Done": the start says whose it is and changes nothing, and "Done" waits
// for it as for a busy folder before it says so.
TEST_F(InterruptedDoneTest, AColleaguesRecordIsNotTakenForAnInterruptedDone) {
    SKIP_UNLESS_ROOT("a record of another user");
    writeOldPair();
    writeFile(QStringLiteral(".quillory3-commit"), "quillory3 commit\n");
    const QByteArray record = QFile::encodeName(path(QStringLiteral(".quillory3-commit")));
    ASSERT_EQ(::chown(record.constData(), kNobody, kNobody), 0);
    const QString shown = QDir::toNativeSeparators(path(QStringLiteral(".quillory3-commit")));

    restart();

    EXPECT_EQ(messages_,
              std::vector<QString>{
                  QStringLiteral("The record \"%1\" of a \"Done\" belongs to another user, so no file was changed for "
                                 "it. While it stays, \"Done\" cannot save in this folder.")
                      .arg(shown)});
    prepare();
    messages_.clear();
    fw::testing::SetLockTimeout(std::chrono::milliseconds(200));
    pressDone();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(
        messages_[0].contains(QStringLiteral("(the record \"%1\" in this folder belongs to another user)").arg(shown)))
        << messages_[0];
    expectWorkKept();
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), "old page");
    EXPECT_EQ(readFile(QStringLiteral(".quillory3-commit")), "quillory3 commit\n");
}

// A start whose settling meets a failure says which file is left where, and
// the start after it finishes the work.
TEST_F(InterruptedDoneTest, AStartThatCannotSettleEverythingSaysWhatIsLeft) {
    writeOldPair();
    prepare();
    ASSERT_EQ(pressDoneAndStopBefore(QStringLiteral("Speed.js")), kStoppedDone);

    fw::testing::FailStep(fw::testing::Step::PutBack, QStringLiteral("Speed.html"), EIO);
    restart();

    ASSERT_EQ(messages_.size(), 1u);
    const QString start = QStringLiteral("An earlier \"Done\" for \"Speed\" was interrupted, and not all of it could "
                                         "be settled: the old file of \"%1\" is kept as \"")
                              .arg(QDir::toNativeSeparators(path(QStringLiteral("Speed.html"))));
    EXPECT_TRUE(messages_[0].startsWith(start)) << messages_[0];
    EXPECT_TRUE(messages_[0].endsWith(QStringLiteral("\" (Input/output error). The next start of the program tries "
                                                     "again.")))
        << messages_[0];
    EXPECT_TRUE(folderEntries().contains(QStringLiteral(".quillory3-commit")));

    restart();
    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("An earlier \"Done\" for \"Speed\" was interrupted; the "
                                                             "files from before it were put back.")});
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), "old page");
    EXPECT_EQ(readFile(QStringLiteral("Speed.js")), "old answers");
    EXPECT_EQ(folderEntries(), pair_);
}

// A "Done" that fails, and whose undo then fails too, names what it leaves
// under which name and says that the next start puts it in order; the next
// start does, back to the files from before it.
TEST_F(InterruptedDoneTest, AFailedUndoNamesWhatIsLeftAndTheNextStartSettlesIt) {
    using fw::testing::Step;
    const QString folder = QDir::toNativeSeparators(folder_.path()) + QDir::separator();
    const QString page = QDir::toNativeSeparators(path(QStringLiteral("Speed.html")));
    const QString answers = QDir::toNativeSeparators(path(QStringLiteral("Speed.js")));
    const QString putBack =
        QStringLiteral("An earlier \"Done\" for \"Speed\" was interrupted; the files from before it were put back.");
    const QString removed =
        QStringLiteral("An earlier \"Done\" for \"Speed\" was interrupted; the files it had begun were removed.");
    const struct {
        const char* what;
        bool oldPage, oldAnswers;
        bool fullDisk;   // the page's write fails, and so does removing its new file; else both new files are in
                         // place when the flush fails, and so does taking the first of them back
        QString reason;  // why the page could not be written
        QString left;    // what the message lists, "<hidden>" for each hidden name
        QString start;   // the next start's message
    } rows[] = {
        {"a full disk", true, true, true, QStringLiteral("File too large"),
         QStringLiteral("an unfinished new file of \"%1\" is left as \"%2<hidden>\" (Input/output error)")
             .arg(page, folder),
         putBack},
        {"no old files", false, false, false, QStringLiteral("Input/output error"),
         QStringLiteral("\"%1\" stands, where \"Done\" found no file (Read-only file system); \"%2\" stands, where "
                        "\"Done\" found no file (Read-only file system)")
             .arg(page, answers),
         removed},
        {"an old page only", true, false, false, QStringLiteral("Input/output error"),
         QStringLiteral("the old file of \"%1\" is kept as \"%2<hidden>\" (Read-only file system); \"%3\" stands, "
                        "where \"Done\" found no file (Read-only file system)")
             .arg(page, folder, answers),
         putBack},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (const QString& name : folderEntries()) QFile::remove(path(name));
        QStringList oldFiles;
        if (row.oldPage) writeFile(oldFiles.emplace_back(QStringLiteral("Speed.html")), "old page");
        if (row.oldAnswers) writeFile(oldFiles.emplace_back(QStringLiteral("Speed.js")), "old answers");
        const FileIdentity oldPage = IdentityOf(path(QStringLiteral("Speed.html")));
        const FileIdentity oldAnswers = IdentityOf(path(QStringLiteral("Speed.js")));
        restart();
        quits_.clear();
        prepare();
        if (row.fullDisk) {
            fw::testing::FailStep(Step::RemoveNew, QStringLiteral("Speed.html"), EIO);
        } else {
            fw::testing::FailStep(Step::SyncPlaced, {}, EIO);
            fw::testing::FailStep(Step::TakeBack, {}, EROFS);
        }
        {
            std::optional<FileSizeLimit> limit;
            if (row.fullDisk) limit.emplace(1024);
            pressDone();
        }

        ASSERT_EQ(messages_.size(), 1u);
        const std::optional<QStringList> hidden = HiddenNamesIn(
            messages_[0], QStringLiteral("The test could not be saved: \"%1\" could not be written (%2). Your work is "
                                         "kept; fix the cause and press \"Done\" again. Not everything could be tidied "
                                         "up: %3. The next start of the program puts it in order.")
                              .arg(page, row.reason, row.left));
        ASSERT_TRUE(hidden) << messages_[0];
        expectWorkKept();
        // The folder holds what the message names, both targets and the record.
        QStringList stands = folderEntries();
        stands.sort();
        QStringList expected = *hidden + QStringList{QStringLiteral(".quillory3-commit"), QStringLiteral("Speed.html"),
                                                     QStringLiteral("Speed.js")};
        expected.sort();
        EXPECT_EQ(stands, expected);

        restart();

        EXPECT_EQ(messages_, std::vector<QString>{row.start});
        EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.html"))), oldPage);
        EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.js"))), oldAnswers);
        EXPECT_EQ(folderEntries(), oldFiles);
    }
}

// A "Done" that meets an earlier one of another title cut off, with no start
// in between (the start left it while that copy still ran), settles it first
// and tells of it as the start would: alone when its own pair is saved, and
// before its own failure when not.
TEST_F(InterruptedDoneTest, AnEarlierDoneThatDoneSettlesIsToldOf) {
    const QString settled =
        QStringLiteral("An earlier \"Done\" for \"Quiz6\" was interrupted; the files from before it were put back.");
    const QString answers = QDir::toNativeSeparators(path(QStringLiteral("Quiz7.js")));
    const QStringList earlierPair{QStringLiteral("Quiz6.html"), QStringLiteral("Quiz6.js")};
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "its own pair not saved" : "its own pair saved");
        for (const QString& name : folderEntries()) QFile::remove(path(name));
        writeFile(QStringLiteral("Quiz6.html"), "old page");
        writeFile(QStringLiteral("Quiz6.js"), "old answers");
        restart();
        quits_.clear();
        prepare(QStringLiteral("Quiz6"));
        ASSERT_EQ(pressDoneAndStopBefore(QStringLiteral("Quiz6.js")), kStoppedDone);

        setTitle(QStringLiteral("Quiz7"));
        if (fails) fw::testing::FailStep(fw::testing::Step::PutInPlace, QStringLiteral("Quiz7.js"), EIO);
        pressDone();

        EXPECT_EQ(readFile(QStringLiteral("Quiz6.html")), "old page");
        EXPECT_EQ(readFile(QStringLiteral("Quiz6.js")), "old answers");
        if (!fails) {
            EXPECT_EQ(messages_, std::vector<QString>{settled});
            EXPECT_EQ(quits_, std::vector<int>{0});
            expectPage(QStringLiteral("Quiz7.html"),
                       page(before_, QStringLiteral("Quiz7"), kGradeOne, kPageOne, kMailOne));
            EXPECT_EQ(readFile(QStringLiteral("Quiz7.js")), before_.answers.toUtf8());
            EXPECT_EQ(folderEntries(),
                      (earlierPair + QStringList{QStringLiteral("Quiz7.html"), QStringLiteral("Quiz7.js")}));
            continue;
        }
        EXPECT_EQ(messages_,
                  std::vector<QString>{settled + QStringLiteral(" The test could not be saved: \"%1\" could not be "
                                                                "written (Input/output error). Your work is kept; fix "
                                                                "the cause and press \"Done\" again.")
                                                     .arg(answers)});
        expectWorkKept();
        EXPECT_EQ(folderEntries(), earlierPair);
        expectCleanRetry(QStringLiteral("Quiz7"));  // the earlier "Done" is not told of again
    }
}

// A "Done" under another title meets what an earlier one left: its message
// names the file it could not write by the new title, and what is left by the
// earlier title's own files. A record whose place is held by a link is used
// neither way.
TEST_F(InterruptedDoneTest, AnEarlierDoneIsNamedByItsOwnFiles) {
    writeFile(QStringLiteral("Quiz6.html"), "old page");
    writeFile(QStringLiteral("Quiz6.js"), "old answers");
    prepare(QStringLiteral("Quiz6"));
    ASSERT_EQ(pressDoneAndStopBefore(QStringLiteral("Quiz6.js")), kStoppedDone);

    setTitle(QStringLiteral("Quiz7"));
    fw::testing::FailStep(fw::testing::Step::PutBack, QStringLiteral("Quiz6.html"), EIO);
    pressDone();

    ASSERT_EQ(messages_.size(), 1u);
    const QString earlierPage = QDir::toNativeSeparators(path(QStringLiteral("Quiz6.html")));
    const QString page = QDir::toNativeSeparators(path(QStringLiteral("Quiz7.html")));
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("\"%1\" could not be written (an earlier save in this folder was "
                                                     "interrupted, and not all of it could be settled)")
                                          .arg(page)))
        << messages_[0];
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("the old file of \"%1\" is kept as \"").arg(earlierPage)))
        << messages_[0];
    EXPECT_FALSE(messages_[0].contains(QStringLiteral("the old file of \"%1").arg(page))) << messages_[0];
    expectWorkKept();

    restart();
    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("An earlier \"Done\" for \"Quiz6\" was interrupted; the "
                                                             "files from before it were put back.")});
    EXPECT_EQ(readFile(QStringLiteral("Quiz6.html")), "old page");
    EXPECT_EQ(readFile(QStringLiteral("Quiz6.js")), "old answers");
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("Quiz6.html"), QStringLiteral("Quiz6.js")}));

    const QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const QString target = elsewhere.filePath(QStringLiteral("record"));
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write("not this folder's record"), 24);
    }
    const QString record = path(QStringLiteral(".quillory3-commit"));
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(record).constData()), 0);
    prepare(QStringLiteral("Quiz7"));
    messages_.clear();

    pressDone();

    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("(the record \"%1\" in this folder could not be used (Too many "
                                                     "levels of symbolic links))")
                                          .arg(QDir::toNativeSeparators(record))))
        << messages_[0];
    expectWorkKept();
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral(".quillory3-commit"), QStringLiteral("Quiz6.html"),
                                            QStringLiteral("Quiz6.js")}));
    EXPECT_EQ(QFileInfo(record).symLinkTarget(), target);
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("not this folder's record"));
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("record")});
}

// A file the teacher put where the interrupted "Done" had made none: no step
// of it could have left that file, so neither the start nor the next "Done"
// touches it, and both say so until she removes the record. Where the cut-off
// "Done" had already made the page's new file under its hidden name, the
// start leaves that file too, and names both.
TEST_F(InterruptedDoneTest, FilesNoStepCouldLeaveAreLeftAsTheyStand) {
    prepare();
    ASSERT_EQ(pressDoneAndStopBefore(QStringLiteral("Speed.html"), fw::testing::Step::CreateFile), kStoppedDone);
    writeFile(QStringLiteral("Speed.html"), "her page");
    const FileIdentity hers = IdentityOf(path(QStringLiteral("Speed.html")));
    const QString page = QDir::toNativeSeparators(path(QStringLiteral("Speed.html")));
    const QString record = QDir::toNativeSeparators(path(QStringLiteral(".quillory3-commit")));

    restart();

    EXPECT_EQ(
        messages_,
        std::vector<QString>{
            QStringLiteral("An earlier \"Done\" for \"Speed\" was interrupted, and its files are not as it could "
                           "have left them, so none was changed: \"%1\" stands, where \"Done\" found no file. Keep "
                           "what you need of them, then remove \"%2\".")
                .arg(page, record)});
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), "her page");
    EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.html"))), hers);
    EXPECT_TRUE(folderEntries().contains(QStringLiteral(".quillory3-commit")));

    prepare();
    messages_.clear();
    pressDone();

    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("an earlier save in this folder was interrupted, and its files "
                                                     "are not as it could have left them, so none was changed")))
        << messages_[0];
    EXPECT_TRUE(
        messages_[0].contains(QStringLiteral(" In the folder: \"%1\" stands, where \"Done\" found no file.").arg(page)))
        << messages_[0];
    EXPECT_EQ(readFile(QStringLiteral("Speed.html")), "her page");
    EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.html"))), hers);
    expectWorkKept();

    ASSERT_TRUE(QFile::remove(path(QStringLiteral(".quillory3-commit"))));
    expectCleanRetry();

    for (const QString& name : folderEntries()) QFile::remove(path(name));
    restart();
    quits_.clear();
    prepare();
    ASSERT_EQ(pressDoneAndStopBefore(QStringLiteral("Speed.js"), fw::testing::Step::CreateFile), kStoppedDone);
    writeFile(QStringLiteral("Speed.html"), "her page");
    const FileIdentity herPage = IdentityOf(path(QStringLiteral("Speed.html")));

    restart();

    ASSERT_EQ(messages_.size(), 1u);
    const QString folder = QDir::toNativeSeparators(folder_.path()) + QDir::separator();
    const std::optional<QStringList> hidden = HiddenNamesIn(
        messages_[0], QStringLiteral("An earlier \"Done\" for \"Speed\" was interrupted, and its files are not as it "
                                     "could have left them, so none was changed: an unfinished new file of \"%1\" is "
                                     "left as \"%2<hidden>\"; \"%1\" stands, where \"Done\" found no file. Keep what "
                                     "you need of them, then remove \"%3\".")
                          .arg(page, folder, record));
    ASSERT_TRUE(hidden) << messages_[0];
    EXPECT_EQ(IdentityOf(path(QStringLiteral("Speed.html"))), herPage);
    QStringList stands = folderEntries();
    stands.sort();
    QStringList expected = *hidden + QStringList{QStringLiteral(".quillory3-commit"), QStringLiteral("Speed.html")};
    expected.sort();
    EXPECT_EQ(stands, expected);
}

}  // namespace
