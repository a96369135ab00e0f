// The platform layer's promises: exact texts, selections, lists, buttons,
// number and text helpers, literal replacement, file names and streams.
#include "builder/mainWindow.h"
#include "framework/Files.h"
#include "framework/Globals.h"
#include "framework/Instances.h"
#include "framework/RegEx.h"
#include "framework/Window.h"
#include "support/Harness.h"
#include "support/RawFolders.h"
#include "templates/WindowC.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <spawn.h>
#include <sys/wait.h>

using namespace fw;

TEST(Numbers, ValReadsTheNumberAtTheStart) {
    const struct {
        const char* text;
        double value;
    } rows[] = {
        {"12", 12},    {" 2.5abc", 2.5}, {"abc", 0}, {"", 0},   {"-3", -3}, {".5", 0.5},
        {"1e3", 1000}, {"1,5", 1},       {"+4", 4},  {"2.", 2}, {"inf", 0}, {"0x10", 0},
    };
    for (const auto& row : rows) EXPECT_DOUBLE_EQ(Val(QString::fromLatin1(row.text)), row.value) << row.text;
    EXPECT_TRUE(std::isinf(Val(QStringLiteral("1e999"))));
}

TEST(Numbers, StrWritesWholeNumbersAsDigitsAlone) {
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {2.0, "2"}, {10, "10"}, {0, "0"}, {-0.0, "0"}, {-3, "-3"}, {1.5, "1.5"}, {0.1, "0.1"}, {99 + 1, "100"},
    };
    for (const auto& row : rows) EXPECT_EQ(Str(row.value), QString::fromLatin1(row.text)) << row.text;
    EXPECT_EQ(Val(Str(1.0 / 3.0)), 1.0 / 3.0);  // shortest form that reads back the same
}

TEST(Numbers, StrWritesEveryDigitOfLargeWholeNumbers) {
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {1e15, "1000000000000000"},
        {999999999999999.0 + 1, "1000000000000000"},
        {-1e16, "-10000000000000000"},
        {1e21, "1000000000000000000000"},
        {1e15 + 0.5, "1000000000000000.5"},  // a fraction keeps its point
        {1234567.25, "1234567.25"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const auto& row : rows) EXPECT_EQ(Str(row.value), QString::fromLatin1(row.text)) << row.text;
    EXPECT_EQ(Str(std::nan("")), QStringLiteral("nan"));

    const double largest = std::numeric_limits<double>::max();
    const QString digits = Str(largest);
    EXPECT_EQ(digits.size(), 309);
    EXPECT_TRUE(std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); }));
    EXPECT_EQ(Val(digits), largest);
}

// The problem number counts on past fifteen digits as digits, in the field
// and in the page's arrays.
class NumbersThroughTheWindow : public AppHarness {};

TEST_F(NumbersThroughTheWindow, ProblemNumberPastFifteenDigits) {
    class mainWindow& w = mainWindow();
    typeInto(w.numField6(), QStringLiteral("999999999999999"));
    for (const char* next : {"1000000000000000", "1000000000000001"}) {
        typeInto(w.probField(), QStringLiteral("[x]"));
        typeInto(w.solField(), QStringLiteral("[x]"));
        selectRow(w.errorbox(), QStringLiteral("1"));
        selectRow(w.decBox(), QStringLiteral("No"));
        w.nextButton1().Push();
        EXPECT_EQ(w.numField6().Text(), QLatin1String(next));
    }
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(WindowC().EditField1().Text().endsWith(
        QStringLiteral("a[999999999999999]=x[999999999999999];a[1000000000000000]=x[1000000000000000];")));
}

TEST(Texts, InStrCountsFromOneAndGivesZeroWhenAbsent) {
    EXPECT_EQ(InStr(0, QStringLiteral("abcabc"), QStringLiteral("c")), 3);
    EXPECT_EQ(InStr(1, QStringLiteral("abcabc"), QStringLiteral("c")), 3);
    EXPECT_EQ(InStr(4, QStringLiteral("abcabc"), QStringLiteral("c")), 6);
    EXPECT_EQ(InStr(0, QStringLiteral("abc"), QStringLiteral("x")), 0);
    EXPECT_EQ(InStr(9, QStringLiteral("abc"), QStringLiteral("a")), 0);
    EXPECT_EQ(Chr(13), QStringLiteral("\r"));
    EXPECT_EQ(EndOfLine(), QStringLiteral("\n"));
}

TEST(RegExReplace, FirstMatchOrEveryMatch) {
    RegEx re;
    re.SearchPattern = QStringLiteral("o");
    re.ReplacementPattern = QStringLiteral("0");
    EXPECT_EQ(re.Replace(QStringLiteral("1o,5o")), QStringLiteral("10,5o"));
    re.Options.ReplaceAllMatches = true;
    EXPECT_EQ(re.Replace(QStringLiteral("1o,5o")), QStringLiteral("10,50"));
    EXPECT_EQ(re.Replace(QStringLiteral("123")), QStringLiteral("123"));
    EXPECT_FALSE(re.Search(QStringLiteral("123")));
    ASSERT_TRUE(re.Search(QStringLiteral("12o")));
    EXPECT_EQ(re.Search(QStringLiteral("12o"))->position, 2);
}

TEST(RegExReplace, ReplacementIsInsertedLiterally) {
    RegEx re;
    re.SearchPattern = QStringLiteral("xxxx");
    for (const char* replacement : {"$1", "\\1", "$&", "a\\b$", "\\", "$"}) {
        re.ReplacementPattern = QString::fromLatin1(replacement);
        EXPECT_EQ(re.Replace(QStringLiteral("<xxxx>")), QStringLiteral("<%1>").arg(QString::fromLatin1(replacement)));
    }
}

TEST(RegExReplace, PatternsAreRegularExpressionsCaseSensitive) {
    RegEx re;
    re.SearchPattern = QStringLiteral("\\[x\\]");
    re.ReplacementPattern = QStringLiteral("x[2]");
    re.Options.ReplaceAllMatches = true;
    EXPECT_EQ(re.Replace(QStringLiteral("[x]*[x]+[X]")), QStringLiteral("x[2]*x[2]+[X]"));
    re.SearchPattern = QStringLiteral("a.c");  // a point matches any character
    EXPECT_TRUE(re.Search(QStringLiteral("abc")));
    re.SearchPattern = QStringLiteral("o");
    EXPECT_FALSE(re.Search(QStringLiteral("O")));
}

TEST(RegExReplace, AnInvalidPatternThrowsNamingIt) {
    RegEx re;
    re.SearchPattern = QStringLiteral("[x");
    re.ReplacementPattern = QStringLiteral("y");
    try {
        re.Search(QStringLiteral("[x]"));
        FAIL() << "an invalid pattern was searched";
    } catch (const std::logic_error& e) {
        EXPECT_NE(std::string(e.what()).find("\"[x\""), std::string::npos) << e.what();
    }
    EXPECT_THROW(re.Replace(QStringLiteral("[x]")), std::logic_error);  // also when asked again
    re.SearchPattern = QStringLiteral("\\[x");
    EXPECT_EQ(re.Replace(QStringLiteral("[x]")), QStringLiteral("y]"));
}

class Files : public AppHarness {};

TEST_F(Files, OnlyBareNamesInTheApplicationFolder) {
    for (const QString& bad :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a/b"), QStringLiteral("../x.html"),
          QStringLiteral("a\\b"), QStringLiteral("a") + QChar(0) + "b"}) {
        EXPECT_FALSE(GetFolderItem(bad)) << bad;
    }
    const auto item = GetFolderItem(QStringLiteral(".html"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Path(), QFile::encodeName(path(QStringLiteral(".html"))));
    EXPECT_FALSE(item->Exists());
}

// A folder whose name is not UTF-8: its files are named and read by the
// folder's very bytes, and a message shows the name as well as text can.
TEST_F(Files, FilesOfAFolderNamedByBytesThatAreNotUtf8) {
    const NonUtf8Folder folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(RawWrite(folder.file("prefe.txt"), "teacher@example.org\n"));
    const auto item = GetFolderItem(folder.path(), QStringLiteral("prefe.txt"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Path(), folder.file("prefe.txt"));
    EXPECT_TRUE(item->Exists());
    const auto stream = item->OpenAsTextFile();
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->ReadLine(), QStringLiteral("teacher@example.org"));
    EXPECT_EQ(item->DisplayPath(), QFile::decodeName(folder.path()) + QStringLiteral("/prefe.txt"));
    EXPECT_TRUE(item->DisplayPath().contains(QStringLiteral("/bad\uFFFDname/")));
    // A title names its files in UTF-8.
    EXPECT_EQ(GetFolderItem(folder.path(), QStringLiteral("\u00DCbung.html"))->Path(), folder.file("\xC3\x9C"
                                                                                                   "bung.html"));
    // Without a folder there is no file.
    EXPECT_FALSE(GetFolderItem(QByteArray(), QStringLiteral("prefe.txt")));
}

// Where the system does not name the executable as a full path, the folder
// is unknown and the reason says what was read; it never falls back on the
// working directory.
TEST_F(Files, TheApplicationFolderIsAFullPathOrUnknown) {
    const RawTemporaryFolder links;
    ASSERT_TRUE(links.isValid());
    QString why;

    findFolderThrough(links.file("no-such-link"));  // as without /proc
    EXPECT_EQ(ApplicationFolder(&why), QByteArray());
    EXPECT_EQ(why, QStringLiteral("\"%1/no-such-link\" could not be read: No such file or directory")
                       .arg(QFile::decodeName(links.path())));
    EXPECT_FALSE(GetFolderItem(QStringLiteral("pref.txt")));

    ASSERT_EQ(::symlink("quillory3", links.file("relative").constData()), 0);
    findFolderThrough(links.file("relative"));
    why.clear();
    EXPECT_EQ(ApplicationFolder(&why), QByteArray());
    EXPECT_EQ(why, QStringLiteral("\"%1/relative\" gives \"quillory3\", which is not a full path")
                       .arg(QFile::decodeName(links.path())));

    ASSERT_EQ(::symlink("/quillory3", links.file("at-the-root").constData()), 0);
    findFolderThrough(links.file("at-the-root"));
    EXPECT_EQ(ApplicationFolder(), QByteArray("/"));
    EXPECT_EQ(GetFolderItem(QStringLiteral("pref.txt"))->Path(), QByteArray("/pref.txt"));

    // A target far longer than a first guess at its length comes back whole.
    QByteArray deep;
    for (int i = 0; i < 300; ++i) deep += "/folder" + QByteArray::number(i);
    ASSERT_EQ(::symlink((deep + "/\xFF.bin").constData(), links.file("deep").constData()), 0);
    findFolderThrough(links.file("deep"));
    EXPECT_EQ(ApplicationFolder(), deep);

    SetApplicationFolder(QByteArray("relative/folder"));
    why.clear();
    EXPECT_EQ(ApplicationFolder(&why), QByteArray());
    EXPECT_EQ(why, QStringLiteral("the folder \"relative/folder\" is not a full path"));
}

// What a program printed on its standard output, and its exit status.
struct ProbeRun {
    int status = -1;
    QByteArray out;
};

ProbeRun RunProbe(const QByteArray& program) {
    ProbeRun run;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    char* argv[] = {const_cast<char*>(program.constData()), nullptr};
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, program.constData(), &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) run.out.append(buffer, got);
    ::close(pipeFds[0]);
    if (spawned != 0) return run;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// The lookup as the program makes it, through /proc/self/exe.
TEST(ApplicationFolderLookup, TheFolderHoldsTheRunningExecutable) {
    const QByteArray folder = ApplicationFolder();
    ASSERT_TRUE(folder.startsWith('/')) << ::testing::PrintToString(folder);
    struct stat self {};
    ASSERT_EQ(::stat("/proc/self/exe", &self), 0);
    const auto entries = RawEntries(folder);
    ASSERT_TRUE(entries);
    const bool found = std::any_of(entries->begin(), entries->end(), [&](const QByteArray& name) {
        struct stat st {};
        return ::stat((folder + '/' + name).constData(), &st) == 0 && st.st_dev == self.st_dev &&
               st.st_ino == self.st_ino;
    });
    EXPECT_TRUE(found) << ::testing::PrintToString(folder);
}

// A copy of a program placed in a folder whose name is not UTF-8 finds that
// folder's very bytes, whatever the working directory, and also when it is
// started through a link from elsewhere.
TEST(ApplicationFolderLookup, AFolderNameThatIsNotUtf8ComesBackByteForByte) {
    const NonUtf8Folder folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray probe = folder.file("folder_probe");
    std::error_code error;
    std::filesystem::copy_file(QUILLORY_FOLDER_PROBE, probe.constData(), error);
    ASSERT_FALSE(error) << error.message();
    ASSERT_EQ(::chmod(probe.constData(), 0755), 0);
    const OtherWorkingDirectory elsewhere;
    ASSERT_TRUE(elsewhere.isValid());

    const ProbeRun direct = RunProbe(probe);
    EXPECT_EQ(direct.status, 0);
    EXPECT_EQ(direct.out, folder.path());

    ASSERT_EQ(::symlink(probe.constData(), "probe"), 0);
    const ProbeRun linked = RunProbe("./probe");
    EXPECT_EQ(linked.status, 0);
    EXPECT_EQ(linked.out, folder.path());
    EXPECT_EQ(elsewhere.entries(), std::vector<QByteArray>{"probe"});
}

TEST_F(Files, ReadLineEndsAtCrLfOrCrLf) {
    writeFile("a.txt", "one\rtwo\nthree\r\nfour");
    auto in = GetFolderItem("a.txt")->OpenAsTextFile();
    ASSERT_TRUE(in);
    EXPECT_EQ(in->ReadLine(), "one");
    EXPECT_EQ(in->ReadLine(), "two");
    EXPECT_EQ(in->ReadLine(), "three");
    EXPECT_EQ(in->ReadLine(), "four");
    EXPECT_TRUE(in->Error().isEmpty());
}

TEST_F(Files, ReadLineDecodesUtf8AndRefusesWhatItCannot) {
    writeFile("bom.txt", "\xEF\xBB\xBF"
                         "caf\xC3\xA9 \n");
    EXPECT_EQ(GetFolderItem("bom.txt")->OpenAsTextFile()->ReadLine(), QString::fromUtf8("caf\xC3\xA9 "));
    writeFile("bad.txt", "a\xFF\xFE\n");
    auto bad = GetFolderItem("bad.txt")->OpenAsTextFile();
    EXPECT_EQ(bad->ReadLine(), "");
    EXPECT_FALSE(bad->Error().isEmpty());
    writeFile("long.txt", QByteArray(5000, 'x'));
    auto longLine = GetFolderItem("long.txt")->OpenAsTextFile();
    longLine->SetMaxLineLength(100);
    EXPECT_EQ(longLine->ReadLine(), "");
    EXPECT_FALSE(longLine->Error().isEmpty());
    QDir(folder_.path()).mkdir("dir.txt");
    QString why;
    EXPECT_FALSE(GetFolderItem("dir.txt")->OpenAsTextFile(&why));
    EXPECT_FALSE(why.isEmpty());
}

// A window with one control of each kind the program reads.
class Probe : public Window {
public:
    Probe()
        : Window({.title = "Probe", .width = 300, .height = 300},
                 {{Kind::TextArea, "area", 0, 0, 200, 100, 12},
                  {Kind::TextField, "field", 0, 110, 100, 22, 12},
                  {Kind::Listbox, "list", 0, 140, 50, 80, 12, "0\r.5\r\r"},
                  {Kind::RadioButton, "one", 100, 140, 80, 20, 12, "One"},
                  {Kind::RadioButton, "two", 100, 160, 80, 20, 12, "Two"}}) {}
    int actions = 0;

protected:
    void CreateControls() override {
        Window::CreateControls();
        BindAction("one", [this] { ++actions; });
    }
};

class Controls : public AppHarness {
protected:
    Probe& probe() { return Instance<Probe>(); }
};

TEST_F(Controls, TextAreaKeepsCarriageReturnsAndLineFeedsApart) {
    TextArea& area = probe().control<TextArea>("area");
    const QString mixed = QStringLiteral("a\rb\nc\r\nd\r");
    area.SetText(mixed);
    EXPECT_EQ(area.Text(), mixed);
    probe().Show();  // now the widget shows it too
    EXPECT_EQ(area.Text(), mixed);
    area.SetText(mixed + "e");
    EXPECT_EQ(area.Text(), mixed + "e");
}

TEST_F(Controls, TypedOrPastedLineBreaksBecomeCarriageReturns) {
    probe().Show();
    TextArea& area = probe().control<TextArea>("area");
    area.SetText(QStringLiteral("keep\nthis\rline"));
    auto* edit = static_cast<QPlainTextEdit*>(area.widget());
    edit->grab();  // the widget takes the text when it is painted
    QTextCursor cursor(edit->document());
    cursor.setPosition(4);
    cursor.insertText(QStringLiteral("X\nY"));  // as a paste does
    EXPECT_EQ(area.Text(), QStringLiteral("keepX\rY\nthis\rline"));
}

// Keys and input-method text sent to the text area's widget, as a keyboard
// and an input method send them.
void press(TextArea& area, QKeyCombination key, const QString& text = {}) {
    QKeyEvent down(QEvent::KeyPress, int(key.key()), key.keyboardModifiers(), text);
    QApplication::sendEvent(area.widget(), &down);
    QKeyEvent up(QEvent::KeyRelease, int(key.key()), key.keyboardModifiers(), text);
    QApplication::sendEvent(area.widget(), &up);
}

void press(TextArea& area, QKeySequence::StandardKey command) {
    press(area, QKeySequence::keyBindings(command).value(0)[0]);
}

// One key per character; a character outside the BMP is one key too.
void typeKeys(TextArea& area, const QString& text) {
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() ? 2 : 1;
        press(area, Qt::Key_unknown, text.mid(i, length));
        i += length;
    }
}

void composeText(TextArea& area, const QString& text) {
    QInputMethodEvent preedit(text, {});
    QApplication::sendEvent(area.widget(), &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(area.widget(), &commit);
}

void putCursor(TextArea& area, int position) {
    area.SetSelLength(0);
    area.SetSelStart(position);
}

// What the widget shows once painted.
QString widgetText(TextArea& area) {
    area.widget()->grab();
    return static_cast<QPlainTextEdit*>(area.widget())->document()->toPlainText();
}

TEST_F(Controls, TypedCharactersReachTheTextUnchanged) {
    probe().Show();
    TextArea& area = probe().control<TextArea>("area");
    const QChar nbsp(0x00A0), narrow(0x202F), acute(0x0301);
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");  // U+1F600, a surrogate pair
    typeKeys(area, QStringLiteral("10") + nbsp + "% 5" + narrow + "km " + smile + " e" + acute);
    press(area, Qt::Key_Return, QStringLiteral("\r"));
    press(area, Qt::ShiftModifier | Qt::Key_Return, QStringLiteral("\r"));  // a line separator in the widget
    composeText(area, QStringLiteral("caf") + QStringLiteral("e") + acute + nbsp);
    const QString typed = QStringLiteral("10") + nbsp + "% 5" + narrow + "km " + smile + " e" + acute + "\r\r" +
                          "cafe" + acute + nbsp;
    EXPECT_EQ(area.Text(), typed);
    EXPECT_EQ(area.SelStart(), typed.size());  // positions in the text are positions in the widget
}

TEST_F(Controls, PastedTextKeepsItsCharactersAndItsLineBreaksBecomeCarriageReturns) {
    probe().Show();
    TextArea& area = probe().control<TextArea>("area");
    area.SetText(QStringLiteral("[]"));
    putCursor(area, 1);
    const QString pasted = QStringLiteral("a\tb") + QChar(0x00A0) + "c\nd\r\ne" + QChar(0x202F);
    QApplication::clipboard()->setText(pasted);
    press(area, QKeySequence::Paste);
    const QString inserted = QStringLiteral("a\tb") + QChar(0x00A0) + "c\rd\re" + QChar(0x202F);
    EXPECT_EQ(area.Text(), "[" + inserted + "]");
    EXPECT_EQ(area.SelStart(), 1 + inserted.size());
}

TEST_F(Controls, EditsBesideAHeldLineFeedLeaveItAsItIs) {
    probe().Show();
    TextArea& area = probe().control<TextArea>("area");
    const QString held = QStringLiteral("ab\ncd\re\n");
    area.SetText(held);
    putCursor(area, 2);
    typeKeys(area, QStringLiteral("X"));  // just before the line feed
    EXPECT_EQ(area.Text(), QStringLiteral("abX\ncd\re\n"));
    putCursor(area, 4);
    typeKeys(area, QStringLiteral("Y"));  // just after it
    EXPECT_EQ(area.Text(), QStringLiteral("abX\nYcd\re\n"));
    press(area, Qt::Key_Backspace);
    EXPECT_EQ(area.Text(), QStringLiteral("abX\ncd\re\n"));
    putCursor(area, 3);
    composeText(area, QStringLiteral("Y"));  // reported as a change up to the line's end, line feed included
    EXPECT_EQ(area.Text(), QStringLiteral("abXY\ncd\re\n"));
    press(area, Qt::Key_Backspace);
    EXPECT_EQ(area.Text(), QStringLiteral("abX\ncd\re\n"));
    putCursor(area, 0);
    typeKeys(area, QString(QChar(0x00A0)));  // in the first line
    EXPECT_EQ(area.Text(), QChar(0x00A0) + QStringLiteral("abX\ncd\re\n"));
    putCursor(area, int(area.Text().size()));
    typeKeys(area, QStringLiteral("Z"));  // after the closing line feed
    press(area, Qt::Key_Return, QStringLiteral("\r"));
    const QString edited = QChar(0x00A0) + QStringLiteral("abX\ncd\re\nZ\r");
    EXPECT_EQ(area.Text(), edited);

    area.SetSelLength(3);
    area.SetSelStart(5);                                // "cd\r"
    EXPECT_EQ(area.SelText(), QStringLiteral("cd\r"));  // the length set with the cursor at the end
    press(area, QKeySequence::Cut);
    EXPECT_EQ(area.Text(), QChar(0x00A0) + QStringLiteral("abX\ne\nZ\r"));

    // Undo and redo run through the same edits, whatever range the document reports for them.
    auto* document = static_cast<QPlainTextEdit*>(area.widget())->document();
    for (int i = 0; i < 20 && document->isUndoAvailable(); ++i) press(area, QKeySequence::Undo);
    EXPECT_FALSE(document->isUndoAvailable());
    EXPECT_EQ(area.Text(), held);
    for (int i = 0; i < 20 && document->isRedoAvailable(); ++i) press(area, QKeySequence::Redo);
    EXPECT_EQ(area.Text(), QChar(0x00A0) + QStringLiteral("abX\ne\nZ\r"));
}

TEST_F(Controls, TextSetWhileHiddenIsWhatTheWidgetShowsOnceShown) {
    TextArea& area = probe().control<TextArea>("area");
    area.SetText(QStringLiteral("first\rsecond\nthird"));
    probe().Show();
    EXPECT_EQ(widgetText(area), QStringLiteral("first\nsecond\nthird"));
    putCursor(area, 5);
    typeKeys(area, QStringLiteral("!"));
    EXPECT_EQ(area.Text(), QStringLiteral("first!\rsecond\nthird"));

    probe().Hide();
    area.SetText(QStringLiteral("again\nnew"));
    probe().Show();
    EXPECT_EQ(widgetText(area), QStringLiteral("again\nnew"));
    putCursor(area, 10);
    typeKeys(area, QStringLiteral("?"));
    EXPECT_EQ(area.Text(), QStringLiteral("again\nnew?"));
}

// The widget's own text, unpainted.
QString documentText(TextArea& area) { return static_cast<QPlainTextEdit*>(area.widget())->document()->toPlainText(); }

TEST_F(Controls, AppendAddsExactlyTheTextAndLeavesEarlierCopiesAlone) {
    TextArea& area = probe().control<TextArea>("area");
    area.SetText(QStringLiteral("a\r"));
    const QString copy = area.Text();
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    area.Append(QStringLiteral("\nb\r\n") + smile.left(1));  // a CR LF and a surrogate pair across appends
    area.Append(smile.mid(1) + QStringLiteral("\n"));
    area.Append(QString());
    const QString whole = QStringLiteral("a\r\nb\r\n") + smile + QStringLiteral("\n");
    EXPECT_EQ(area.Text(), whole);
    EXPECT_EQ(copy, QStringLiteral("a\r"));
    area.SetSelLength(100);  // past the end, as a new text cuts it
    area.Append(QStringLiteral("c"));
    EXPECT_EQ(area.SelLength(), whole.size() + 1);
    area.SetText(whole);  // back to the appended text

    probe().Show();
    EXPECT_EQ(widgetText(area), QStringLiteral("a\n\nb\n\n") + smile + QStringLiteral("\n"));
    putCursor(area, int(whole.size()));
    typeKeys(area, QStringLiteral("!"));
    EXPECT_EQ(area.Text(), whole + QStringLiteral("!"));
}

TEST_F(Controls, AppendToAPaintedAreaShowsTheAdditionAndLeavesTheCursorWhereItWas) {
    probe().Show();
    TextArea& area = probe().control<TextArea>("area");
    area.SetText(QStringLiteral("one\r"));
    putCursor(area, 4);  // at the end
    EXPECT_EQ(widgetText(area), QStringLiteral("one\n"));
    area.Append(QStringLiteral("\ntwo\r\nthree"));  // each of CR and LF is a break of its own
    EXPECT_EQ(widgetText(area), QStringLiteral("one\n\ntwo\n\nthree"));
    EXPECT_EQ(area.SelStart(), 4);
    EXPECT_EQ(area.SelLength(), 0);
    const auto* edit = static_cast<QPlainTextEdit*>(area.widget());
    EXPECT_FALSE(edit->document()->isUndoAvailable());  // the program's text is not the user's edit

    typeKeys(area, QStringLiteral("!"));
    EXPECT_EQ(area.Text(), QStringLiteral("one\r!\ntwo\r\nthree"));
    press(area, QKeySequence::Undo);
    EXPECT_EQ(area.Text(), QStringLiteral("one\r\ntwo\r\nthree"));
}

TEST_F(Controls, AShownAreaTakesItsTextWhenPaintedWithTheSelectionSetBefore) {
    probe().Show();
    TextArea& area = probe().control<TextArea>("area");
    area.SetText(QStringLiteral("first\rsecond\nthird"));
    area.SetSelLength(6);
    area.SetSelStart(6);
    EXPECT_EQ(area.SelStart(), 6);  // before any paint
    EXPECT_EQ(area.SelLength(), 6);
    EXPECT_EQ(area.SelText(), QStringLiteral("second"));
    EXPECT_EQ(widgetText(area), QStringLiteral("first\nsecond\nthird"));
    const QTextCursor shown = static_cast<QPlainTextEdit*>(area.widget())->textCursor();
    EXPECT_EQ(shown.selectionStart(), 6);
    EXPECT_EQ(shown.selectionEnd(), 12);
    typeKeys(area, QStringLiteral("2nd"));  // replaces the selection
    EXPECT_EQ(area.Text(), QStringLiteral("first\r2nd\nthird"));
}

TEST_F(Controls, KeysRightAfterANewTextEditThatText) {
    probe().Show();
    TextArea& area = probe().control<TextArea>("area");
    area.SetText(QStringLiteral("an old text"));
    EXPECT_EQ(widgetText(area), QStringLiteral("an old text"));
    area.SetText(QStringLiteral("new\rtext"));
    putCursor(area, 3);
    typeKeys(area, QStringLiteral("er"));  // with no paint between
    EXPECT_EQ(area.Text(), QStringLiteral("newer\rtext"));
    EXPECT_EQ(widgetText(area), QStringLiteral("newer\ntext"));
}

// The Edit menu's commands act on the focused widget directly, with no event
// that could bring it a text set since its last paint.
TEST_F(Controls, TheFocusedAreaTakesANewTextAtOnce) {
    probe().Show();
    QApplication::setActiveWindow(probe().widget());
    TextArea& area = probe().control<TextArea>("area");
    area.widget()->setFocus();
    ASSERT_TRUE(area.widget()->hasFocus());
    EXPECT_EQ(widgetText(area), QString());
    area.SetText(QStringLiteral("abc\rdef"));
    EXPECT_EQ(documentText(area), QStringLiteral("abc\ndef"));
    putCursor(area, 3);
    QApplication::clipboard()->setText(QStringLiteral("X"));
    static_cast<QPlainTextEdit*>(area.widget())->paste();
    EXPECT_EQ(area.Text(), QStringLiteral("abcX\rdef"));
}

TEST_F(Controls, SelectionLengthThenStartSelectsARange) {
    TextArea& area = probe().control<TextArea>("area");
    area.SetText(QStringLiteral("0123456789"));
    area.SetSelLength(3);
    area.SetSelStart(4);
    EXPECT_EQ(area.SelStart(), 4);
    EXPECT_EQ(area.SelText(), QStringLiteral("456"));
    probe().Show();  // the selection survives showing the window
    EXPECT_EQ(area.SelStart(), 4);
    EXPECT_EQ(area.SelLength(), 3);
    area.SetSelLength(2);
    area.SetSelStart(0);
    EXPECT_EQ(area.SelText(), QStringLiteral("01"));
}

TEST_F(Controls, ListTextIsTheSelectedRowOrEmpty) {
    Listbox& list = probe().control<Listbox>("list");
    EXPECT_EQ(list.ListCount(), 2);  // an empty row is not shown
    EXPECT_EQ(list.Text(), QString());
    list.SetListIndex(1);
    EXPECT_EQ(list.Text(), QStringLiteral(".5"));
    list.SetListIndex(-1);
    EXPECT_EQ(list.Text(), QString());
}

TEST_F(Controls, RadioButtonsAreExclusiveAndOnlyClicksRunTheAction) {
    RadioButton& one = probe().control<RadioButton>("one");
    RadioButton& two = probe().control<RadioButton>("two");
    EXPECT_FALSE(one.Value());
    EXPECT_FALSE(two.Value());
    one.SetValue(true);
    EXPECT_EQ(probe().actions, 0);
    two.SetValue(true);
    EXPECT_FALSE(one.Value());
    one.Click();
    EXPECT_TRUE(one.Value());
    EXPECT_FALSE(two.Value());
    EXPECT_EQ(probe().actions, 1);
}

TEST_F(Controls, TextFieldKeepsWhatWasSet) {
    TextField& field = probe().control<TextField>("field");
    const QString odd = QStringLiteral("a\rb\nc$1\\") + QString(40000, QLatin1Char('z'));
    field.SetText(odd);
    EXPECT_EQ(field.Text(), odd);
}

TEST_F(Controls, LookupOfAMissingControlNamesIt) {
    try {
        probe().control<TextArea>("nothere");
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_NE(std::string(e.what()).find("nothere"), std::string::npos);
    }
    EXPECT_THROW(probe().control<TextArea>("field"), std::logic_error);  // wrong kind
}

TEST_F(Controls, OneInstancePerClassAndCloseHides) {
    Probe& first = probe();
    EXPECT_EQ(&first, &probe());
    first.Show();
    first.control<TextField>("field").SetText("kept");
    first.widget()->close();
    EXPECT_FALSE(first.Visible());
    EXPECT_EQ(&first, &probe());
    EXPECT_EQ(probe().control<TextField>("field").Text(), "kept");
}
