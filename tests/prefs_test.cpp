// pref.txt and prefe.txt beside the application: the delivery mode and the
// saved address at start-up, and the delivery-mode buttons.
#include "app/Startup.h"
#include "builder/StartupPreferences.h"
#include "builder/mainWindow.h"
#include "framework/Files.h"
#include "framework/Instances.h"
#include "framework/Runtime.h"
#include "support/Harness.h"
#include "support/RawFolders.h"
#include "templates/Placeholders.h"
#include "templates/WindowF.h"
#include "templates/WindowF2.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// Where the placeholders stand in the designed form texts.
constexpr int kCgiFormLength = 1598;
constexpr int kUrlOffset = 18;
constexpr int kMailtoFormLength = 1442 + 20;  // the subject through encodeURIComponent()
constexpr int kEmailOffset = 714;

QString cgiForm() { return WindowF().EditField1().Text(); }
QString mailtoForm() { return WindowF2().EditField1().Text(); }

// The CGI form with `address` where the whole placeholder URL stood.
void expectCgiAddress(const QString& address) {
    const QString text = cgiForm();
    EXPECT_EQ(text.size(), kCgiFormLength - kUrlPlaceholder.size() + address.size());
    const QString expected = QStringLiteral("<BR><FORM action=\"") + address + QStringLiteral("\" Method=\"Post\"");
    EXPECT_EQ(text.left(expected.size()), expected);
    EXPECT_FALSE(text.contains(kUrlPlaceholderHost));
}

// The mailto: form with `address` as the instructor's value.
void expectMailtoAddress(const QString& address) {
    const QString text = mailtoForm();
    EXPECT_EQ(text.size(), kMailtoFormLength - kEmailPlaceholder.size() + address.size());
    const QString before = QStringLiteral("<input name=\"instructor\" type=hidden value=\"");
    EXPECT_EQ(text.mid(kEmailOffset - before.size(), before.size() + address.size() + 21),
              before + address + QStringLiteral("\" ></TD></TR></TABLE>"));
    EXPECT_FALSE(text.contains(kEmailPlaceholder));
}

class Prefs : public AppHarness {
protected:
    // Opens the main window, which reads the preference files.
    class mainWindow& start() {
        return mainWindow();
    }
    static bool cgiEditorExists() { return fw::IsLive<class WindowF>(); }
    static bool mailtoEditorExists() { return fw::IsLive<class WindowF2>(); }
};

TEST_F(Prefs, NoFileSelectsNothingAndCreatesNoEditor) {
    class mainWindow& w = start();
    EXPECT_FALSE(w.RadioButton1().Value());
    EXPECT_FALSE(w.RadioButton2().Value());
    EXPECT_FALSE(cgiEditorExists());
    EXPECT_FALSE(mailtoEditorExists());
    EXPECT_TRUE(messages_.empty());
    EXPECT_FALSE(fileExists("pref.txt"));
    EXPECT_FALSE(fileExists("prefe.txt"));
}

TEST_F(Prefs, ModeButtonsShowTheirEditorsAndNeverHideTheOther) {
    class mainWindow& w = start();
    w.RadioButton2().Click();
    ASSERT_TRUE(cgiEditorExists());
    EXPECT_TRUE(WindowF().Visible());
    EXPECT_TRUE(w.RadioButton2().Value());
    EXPECT_TRUE(cgiForm().mid(kUrlOffset).startsWith(kUrlPlaceholder));
    EXPECT_FALSE(mailtoEditorExists());

    w.RadioButton1().Click();
    ASSERT_TRUE(mailtoEditorExists());
    EXPECT_TRUE(WindowF2().Visible());
    EXPECT_TRUE(WindowF().Visible());
    EXPECT_TRUE(w.RadioButton1().Value());
    EXPECT_FALSE(w.RadioButton2().Value());
    EXPECT_EQ(WindowF2().EditField1().SelText(), kEmailPlaceholder);

    // "DONE" hides the editor; the button shows it again with its edits.
    WindowF2().EditField1().SetText(QStringLiteral("edited"));
    WindowF2().PushButton1_Action();
    EXPECT_FALSE(WindowF2().Visible());
    w.RadioButton1().Click();
    EXPECT_TRUE(WindowF2().Visible());
    EXPECT_EQ(mailtoForm(), QStringLiteral("edited"));
}

TEST_F(Prefs, PrefTxtAloneSelectsCgiAndFillsItsForm) {
    writeFile("pref.txt", "http://www.example.com/cgi-bin/form.pl\n");
    class mainWindow& w = start();
    EXPECT_TRUE(w.RadioButton2().Value());
    EXPECT_FALSE(w.RadioButton1().Value());
    ASSERT_TRUE(cgiEditorExists());
    EXPECT_FALSE(WindowF().Visible());
    expectCgiAddress(QStringLiteral("http://www.example.com/cgi-bin/form.pl"));
    EXPECT_FALSE(mailtoEditorExists());
    EXPECT_TRUE(messages_.empty());

    // A later click on "Use CGI" shows the saved address.
    w.RadioButton2().Click();
    EXPECT_TRUE(WindowF().Visible());
    expectCgiAddress(QStringLiteral("http://www.example.com/cgi-bin/form.pl"));
}

TEST_F(Prefs, PrefeTxtAloneSelectsMailtoAndFillsItsForm) {
    writeFile("prefe.txt", "teacher@example.org");
    class mainWindow& w = start();
    EXPECT_TRUE(w.RadioButton1().Value());
    EXPECT_FALSE(w.RadioButton2().Value());
    ASSERT_TRUE(mailtoEditorExists());
    EXPECT_FALSE(WindowF2().Visible());
    expectMailtoAddress(QStringLiteral("teacher@example.org"));
    EXPECT_FALSE(cgiEditorExists());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(Prefs, BothFilesFillBothFormsAndMailtoWins) {
    writeFile("pref.txt", "https://cgi.example.org/bin/mail.pl\r\n");
    writeFile("prefe.txt", "teacher@example.org\r\n");
    class mainWindow& w = start();
    EXPECT_TRUE(w.RadioButton1().Value());
    EXPECT_FALSE(w.RadioButton2().Value());
    EXPECT_FALSE(WindowF().Visible());
    EXPECT_FALSE(WindowF2().Visible());
    expectCgiAddress(QStringLiteral("https://cgi.example.org/bin/mail.pl"));
    expectMailtoAddress(QStringLiteral("teacher@example.org"));

    // Nothing is written beside the application.
    EXPECT_EQ(readFile("pref.txt"), QByteArray("https://cgi.example.org/bin/mail.pl\r\n"));
    EXPECT_EQ(readFile("prefe.txt"), QByteArray("teacher@example.org\r\n"));
    EXPECT_EQ(QDir(folder_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"pref.txt", "prefe.txt"}));
}

// What the first line of a file puts into the forms.
struct LineCase {
    const char* name;
    QByteArray bytes;
    QString inserted;
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class PrefsFirstLine : public Prefs, public ::testing::WithParamInterface<LineCase> {};

TEST_P(PrefsFirstLine, GoesIntoBothForms) {
    writeFile("pref.txt", GetParam().bytes);
    writeFile("prefe.txt", GetParam().bytes);
    start();
    EXPECT_TRUE(messages_.empty());
    expectCgiAddress(GetParam().inserted);
    expectMailtoAddress(GetParam().inserted);
    EXPECT_FALSE(WindowF().Visible());
    EXPECT_FALSE(WindowF2().Visible());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PrefsFirstLine,
    ::testing::Values(
        LineCase{"SeveralLines", "first@example.org\nsecond@example.org\nthird\n", "first@example.org"},
        LineCase{"BlanksKept", "  spaced@example.org \t\nnext", "  spaced@example.org &#9;"},
        LineCase{"ControlCharacters",
                 "a\x01"
                 "b\x1F"
                 "c\x0B\n",
                 "a&#1;b&#31;c&#11;"},
        LineCase{"EmptyFile", "", ""}, LineCase{"EmptyFirstLine", "\nlater@example.org\n", ""},
        LineCase{"CrLf", "crlf@example.org\r\nnext@example.org\r\n", "crlf@example.org"},
        LineCase{"CrAlone", "cr@example.org\rnext@example.org", "cr@example.org"},
        LineCase{"NoLineEnd", "plain@example.org", "plain@example.org"},
        LineCase{"DollarGroup", "$1$0@example.org\n", "$1$0@example.org"},
        LineCase{"Backslash", "back\\slash\\1@example.org\n", "back&#92;slash&#92;1@example.org"},
        LineCase{"Apostrophe", "o'brien@example.org\n", "o&#39;brien@example.org"},
        LineCase{"MarkupCharacters", "a&b=\"<x>\"\n", "a&#38;b=&#34;&#60;x&#62;&#34;"},
        LineCase{"NonAscii", "jos\xC3\xA9@example.org\n", QStringLiteral("jos\u00E9@example.org")},
        LineCase{"ByteOrderMark", "\xEF\xBB\xBFmark@example.org\n", "mark@example.org"},
        LineCase{"LongButUsable", QByteArray(StartupPreferences::kMaxLineLength, 'a') + "\nb",
                 QString(StartupPreferences::kMaxLineLength, QLatin1Char('a'))},
        LineCase{"LongestOfTwoByteCharacters", QByteArray("\xC3\xA9").repeated(StartupPreferences::kMaxLineLength),
                 QString(StartupPreferences::kMaxLineLength, QChar(0xE9))},
        LineCase{"LongestOfFourByteCharacters",
                 QByteArray("\xF0\x9F\x98\x80").repeated(StartupPreferences::kMaxLineLength / 2) + "\r\n",
                 QStringLiteral("\U0001F600").repeated(StartupPreferences::kMaxLineLength / 2)}),
    [](const ::testing::TestParamInfo<LineCase>& row) { return std::string(row.param.name); });

// A file that exists but cannot be used: the mode is still selected, the
// form keeps its placeholder, a message names the file, and start-up goes on.
struct UnusableCase {
    const char* name;
    QByteArray bytes;  // written unless the case makes a folder
    bool folder;
    const char* why;  // part of the message
};
void PrintTo(const UnusableCase& c, std::ostream* os) { *os << c.name; }

class PrefsUnusable : public Prefs, public ::testing::WithParamInterface<UnusableCase> {
protected:
    void make(const QString& file) {
        if (GetParam().folder) {
            ASSERT_TRUE(QDir(folder_.path()).mkdir(file));
        } else {
            writeFile(file, GetParam().bytes);
        }
    }
};

TEST_P(PrefsUnusable, CgiFileReportedOthersStillApplied) {
    make("pref.txt");
    writeFile("prefe.txt", "teacher@example.org\n");
    class mainWindow& w = start();
    EXPECT_TRUE(w.Visible());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(path("pref.txt"))) << messages_[0];
    EXPECT_TRUE(messages_[0].contains(QLatin1String(GetParam().why))) << messages_[0];
    // "Use CGI" was selected before the file was opened; prefe.txt then chose mailto:.
    EXPECT_TRUE(w.RadioButton1().Value());
    expectMailtoAddress(QStringLiteral("teacher@example.org"));
    EXPECT_TRUE(cgiForm().mid(kUrlOffset).startsWith(kUrlPlaceholder));
    EXPECT_EQ(cgiForm().size(), kCgiFormLength);
}

TEST_P(PrefsUnusable, EmailFileAloneSelectsMailtoKeepsPlaceholder) {
    make("prefe.txt");
    class mainWindow& w = start();
    EXPECT_TRUE(w.Visible());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(path("prefe.txt"))) << messages_[0];
    EXPECT_TRUE(w.RadioButton1().Value());
    EXPECT_FALSE(w.RadioButton2().Value());
    // Selecting the mode in code runs no Action: no editor appeared.
    EXPECT_FALSE(mailtoEditorExists());
    EXPECT_EQ(mailtoForm().mid(kEmailOffset, kEmailPlaceholder.size()), kEmailPlaceholder);
    if (!GetParam().folder) {
        EXPECT_EQ(readFile("prefe.txt"), GetParam().bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PrefsUnusable,
    ::testing::Values(
        UnusableCase{"Folder", {}, true, "folder"},
        UnusableCase{"InvalidUtf8", "bad\xFF\xFE@example.org\n", false, "UTF-8"},
        UnusableCase{"OverLongLine", QByteArray(StartupPreferences::kMaxLineLength + 1, 'a') + "\n", false,
                     "longer than"},
        UnusableCase{"SeveralMegabytes", QByteArray(4 << 20, 'a'), false, "longer than"},
        UnusableCase{"OneTwoByteCharacterTooMany",
                     QByteArray("\xC3\xA9").repeated(StartupPreferences::kMaxLineLength + 1), false, "longer than"},
        UnusableCase{"TenMegabytesOfTwoByteCharacters", QByteArray("\xC3\xA9").repeated(5 << 20), false,
                     "longer than"}),
    [](const ::testing::TestParamInfo<UnusableCase>& row) { return std::string(row.param.name); });

// A regular file that opens but cannot be read, for every user: the process's
// own memory read from address 0, which is never mapped.
TEST_F(Prefs, UnreadableFileIsReported) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), path("pref.txt")));
    class mainWindow& w = start();
    EXPECT_TRUE(w.RadioButton2().Value());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(path("pref.txt")));
    EXPECT_EQ(cgiForm().mid(kUrlOffset, kUrlPlaceholder.size()), kUrlPlaceholder);
}

// Fails the test, instead of hanging it, when its scope does not end in time.
class Watchdog {
public:
    explicit Watchdog(const char* what, std::chrono::seconds limit = std::chrono::seconds(10))
        : thread_([this, what, limit] {
              std::unique_lock lock(mutex_);
              if (!ended_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "%s: still not finished after %lld s\n", what,
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        ended_.notify_one();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread thread_;
};

// A pref.txt that is no regular file is never read: opening a FIFO with no
// writer would wait forever, reading a device may never end.
enum class Special { Fifo, LinkToFifo, Socket, LinkToDevice };
void PrintTo(Special s, std::ostream* os) {
    const char* names[] = {"Fifo", "LinkToFifo", "Socket", "LinkToDevice"};
    *os << names[int(s)];
}

class PrefsNotRegular : public Prefs, public ::testing::WithParamInterface<Special> {
protected:
    void make(const QString& name) {
        const QByteArray file = QFile::encodeName(path(name));
        const QByteArray fifo = QFile::encodeName(path("pipe"));
        switch (GetParam()) {
        case Special::Fifo: ASSERT_EQ(::mkfifo(file.constData(), 0644), 0); break;
        case Special::LinkToFifo:
            ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
            ASSERT_EQ(::symlink(fifo.constData(), file.constData()), 0);
            break;
        case Special::Socket: {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            ASSERT_LT(size_t(file.size()), sizeof address.sun_path);
            std::memcpy(address.sun_path, file.constData(), size_t(file.size()));
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            ASSERT_GE(fd, 0);
            const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
            ::close(fd);
            ASSERT_EQ(bound, 0);
            break;
        }
        case Special::LinkToDevice: ASSERT_EQ(::symlink("/dev/null", file.constData()), 0); break;
        }
    }
};

TEST_P(PrefsNotRegular, IsReportedAndStartUpGoesOn) {
    make("pref.txt");
    if (HasFatalFailure()) return;
    class mainWindow* window = nullptr;
    {
        Watchdog watchdog("start-up with a pref.txt that is not a regular file");
        window = &start();
    }
    class mainWindow& w = *window;

    EXPECT_TRUE(w.Visible());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].contains(path("pref.txt"))) << messages_[0];
    EXPECT_TRUE(messages_[0].contains(QLatin1String("it is not a regular file"))) << messages_[0];
    EXPECT_TRUE(w.RadioButton2().Value());
    EXPECT_FALSE(w.RadioButton1().Value());
    EXPECT_EQ(cgiForm().mid(kUrlOffset, kUrlPlaceholder.size()), kUrlPlaceholder);
    EXPECT_EQ(cgiForm().size(), kCgiFormLength);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PrefsNotRegular,
                         ::testing::Values(Special::Fifo, Special::LinkToFifo, Special::Socket, Special::LinkToDevice),
                         [](const ::testing::TestParamInfo<Special>& row) {
                             std::ostringstream name;
                             PrintTo(row.param, &name);
                             return name.str();
                         });

TEST_F(Prefs, FormWithoutPlaceholderIsLeftAsItIs) {
    class mainWindow& w = start();
    w.RadioButton2().Click();
    WindowF().EditField1().SetText(QStringLiteral("<FORM action=\"http://elsewhere.example.com/\">"));
    writeFile("pref.txt", "http://www.example.com/cgi-bin/form.pl\n");
    StartupPreferences(w, fw::ApplicationFolder()).Apply();
    EXPECT_EQ(cgiForm(), QStringLiteral("<FORM action=\"http://elsewhere.example.com/\">"));
    EXPECT_TRUE(WindowF().Visible());
}

// ---- Where the files are read ----

// The application's folder is named by bytes that are not UTF-8: prefe.txt
// there is read, and none of the files in the working directory.
TEST_F(Prefs, FilesAreReadFromAFolderNamedByBytesThatAreNotUtf8) {
    const NonUtf8Folder folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(RawWrite(folder.file("prefe.txt"), "teacher@example.org\n"));
    ASSERT_EQ(::symlink(folder.file("quillory3").constData(), folder.beside("exe").constData()), 0);
    findFolderThrough(folder.beside("exe"));
    const OtherWorkingDirectory elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    ASSERT_TRUE(RawWrite("pref.txt", "http://decoy.example.com/cgi-bin/form.pl\n"));
    ASSERT_TRUE(RawWrite("prefe.txt", "decoy@example.org\n"));

    class mainWindow& w = start();

    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(w.RadioButton1().Value());
    EXPECT_FALSE(w.RadioButton2().Value());
    expectMailtoAddress(QStringLiteral("teacher@example.org"));
    EXPECT_FALSE(cgiEditorExists());
    EXPECT_EQ(RawEntries(folder.path()), std::vector<QByteArray>{"prefe.txt"});
    EXPECT_EQ(elsewhere.entries(), (std::vector<QByteArray>{"pref.txt", "prefe.txt"}));
}

// Where the program cannot tell which folder it is in, it reads nothing (no
// preference file, no record of an interrupted "Done") and says so once.
TEST_F(Prefs, WhereTheFolderIsUnknownNothingIsReadAndStartUpSaysSo) {
    const RawTemporaryFolder links;
    ASSERT_TRUE(links.isValid());
    findFolderThrough(links.file("proc/self/exe"));
    writeFile("prefe.txt", "teacher@example.org\n");  // where the folder was before
    const OtherWorkingDirectory elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    ASSERT_TRUE(RawWrite("pref.txt", "http://decoy.example.com/cgi-bin/form.pl\n"));
    ASSERT_TRUE(RawWrite("prefe.txt", "decoy@example.org\n"));
    const QByteArray record = "quillory3 commit\nnot a file line\nbegun\n";
    ASSERT_TRUE(RawWrite(".quillory3-commit", record));

    class mainWindow& w = start();

    EXPECT_TRUE(w.Visible());
    EXPECT_EQ(
        messages_,
        std::vector<QString>{
            QStringLiteral("The program cannot tell which folder it is in (\"%1/proc/self/exe\" could not be "
                           "read: No such file or directory). It reads pref.txt and prefe.txt, and saves the test, "
                           "only in that folder: the preference files were not read, and \"Done\" cannot save "
                           "the test.")
                .arg(QFile::decodeName(links.path()))});
    EXPECT_FALSE(w.RadioButton1().Value());
    EXPECT_FALSE(w.RadioButton2().Value());
    EXPECT_FALSE(cgiEditorExists());
    EXPECT_FALSE(mailtoEditorExists());
    EXPECT_EQ(elsewhere.entries(), (std::vector<QByteArray>{".quillory3-commit", "pref.txt", "prefe.txt"}));
    EXPECT_EQ(RawRead(".quillory3-commit"), record);
}

// A whole test built through the window in each delivery mode that the files
// choose: the written page carries the saved address in the mode's form,
// after the mode's report script.
struct ModeCase {
    const char* name;
    QByteArray pref;   // pref.txt, unless null
    QByteArray prefe;  // prefe.txt, unless null
    bool mailto;       // the page's delivery mode
};
void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class PrefsWholeTest : public Prefs, public ::testing::WithParamInterface<ModeCase> {
protected:
    void buildOneProblemTest() {
        class mainWindow& w = start();
        typeInto(w.EditField5(), QStringLiteral("PrefQuiz"));
        typeInto(w.probField(), QStringLiteral("What is [x] doubled?"));
        typeInto(w.var1min(), QStringLiteral("1"));
        typeInto(w.var1max(), QStringLiteral("9"));
        typeInto(w.var1dec(), QStringLiteral("0"));
        typeInto(w.solField(), QStringLiteral("[x]*2"));
        selectRow(w.errorbox(), QStringLiteral("1"));
        selectRow(w.decBox(), QStringLiteral("0"));
        w.nextButton1().Push();
        w.PushButton1().Push();
    }
};

TEST_P(PrefsWholeTest, PageHoldsTheSavedAddressInTheModesForm) {
    const ModeCase& mode = GetParam();
    if (!mode.pref.isNull()) writeFile("pref.txt", mode.pref);
    if (!mode.prefe.isNull()) writeFile("prefe.txt", mode.prefe);
    buildOneProblemTest();
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(quits_, std::vector<int>{0});
    const QString page = QString::fromUtf8(readFile("PrefQuiz.html"));
    ASSERT_FALSE(page.isEmpty());

    // The first lines of the two report scripts; each takes a fresh results
    // window when the old one holds another site's reply.
    const QString cgiReport =
        QStringLiteral("var msg=open(\"\",\"msg\");try{msg.document.org}catch(e){msg.close();msg=open(\"\",\"msg\")};");
    const QString mailtoReport = QStringLiteral(
        "var msg=window.open(\"\",\"msg\");try{msg.document.open}catch(e){msg.close();"
        "msg=window.open(\"\",\"msg\")};");
    const QString cgiForm = QStringLiteral(
        "<BR><FORM action=\"http://www.example.com/cgi-bin/form.pl\" Method=\"Post\" "
        "ENCTYPE=\"application/x-www-form-urlencoded\" > <input type=hidden name=\"send_to\" value=\"\">"
        "<input type=hidden name=\"subject\" value=\"PrefQuiz\">");
    const QString mailtoForm =
        QStringLiteral("<BR><FORM Method=\"Post\" ENCTYPE=\"text/plain\" onSubmit=\"return validate()\" > ");
    const QString mailtoAddress =
        QStringLiteral("<input name=\"instructor\" type=hidden value=\"o&#39;brien@example.org\" ></TD></TR></TABLE>");
    const QString report = mode.mailto ? mailtoReport : cgiReport;
    const QString form = mode.mailto ? mailtoForm : cgiForm;

    EXPECT_EQ(page.count(report), 1);
    EXPECT_EQ(page.count(form), 1);
    EXPECT_LT(page.indexOf(report), page.indexOf(form));
    EXPECT_FALSE(page.contains(mode.mailto ? cgiReport : mailtoReport));
    EXPECT_FALSE(page.contains(mode.mailto ? QStringLiteral("<BR><FORM action=") : mailtoForm));
    EXPECT_FALSE(page.contains(kUrlPlaceholderHost));
    EXPECT_FALSE(page.contains(kEmailPlaceholder));
    if (mode.mailto) {
        EXPECT_EQ(page.count(mailtoAddress), 1);
        EXPECT_LT(page.indexOf(form), page.indexOf(mailtoAddress));
        // The results form continues a single-quoted page-script string up to
        // its close: the address put no apostrophe into it.
        const QString close = QStringLiteral("</FORM></BLOCKQUOTE><hr noshade><BR></body></html>');");
        const qsizetype from = page.indexOf(form);
        const qsizetype to = page.indexOf(close, from);
        ASSERT_GE(from, 0);
        ASSERT_GT(to, page.indexOf(mailtoAddress));
        EXPECT_FALSE(page.mid(from, to - from).contains(QLatin1Char('\'')));
    }
    // The preference files are as the teacher left them.
    if (!mode.pref.isNull()) {
        EXPECT_EQ(readFile("pref.txt"), mode.pref);
    }
    if (!mode.prefe.isNull()) {
        EXPECT_EQ(readFile("prefe.txt"), mode.prefe);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, PrefsWholeTest,
                         ::testing::Values(ModeCase{"Cgi", "http://www.example.com/cgi-bin/form.pl\n", {}, false},
                                           ModeCase{"Mailto", {}, "o'brien@example.org\n", true},
                                           ModeCase{"BothGiveMailto", "http://www.example.com/cgi-bin/form.pl\n",
                                                    "o'brien@example.org\n", true}),
                         [](const ::testing::TestParamInfo<ModeCase>& row) { return std::string(row.param.name); });

// As the program starts (the framework's initialisation, then the event
// loop), the editors are made only once the main window is drawn, with the
// outcome above; a handler that comes first finds them made.
TEST_F(Prefs, AtStartUpTheEditorsWaitForTheFirstFrame) {
    writeFile("pref.txt", "https://cgi.example.org/bin/mail.pl\n");
    writeFile("prefe.txt", "teacher@example.org\n");
    fw::RuntimeInit();
    fw::RunFrameworkInitialization(&MakeDefaultView);
    EXPECT_TRUE(mainWindow().RadioButton1().Value());
    EXPECT_FALSE(cgiEditorExists() || mailtoEditorExists());
    EXPECT_TRUE(QTest::qWaitFor([] { return fw::IsLive<class WindowF2>(); }));
    EXPECT_EQ(fw::LiveWindows(), (std::vector<QString>{"mainWindow", "WindowF", "WindowF2"}));
    EXPECT_FALSE(WindowF().Visible());
    EXPECT_FALSE(WindowF2().Visible());
    expectCgiAddress(QStringLiteral("https://cgi.example.org/bin/mail.pl"));
    expectMailtoAddress(QStringLiteral("teacher@example.org"));
}

TEST_F(Prefs, AHandlerBeforeTheFirstFrameFindsTheStartUpDone) {
    writeFile("pref.txt", "http://www.example.com/cgi-bin/form.pl\n");
    fw::RuntimeInit();
    fw::RunFrameworkInitialization(&MakeDefaultView);
    ASSERT_FALSE(cgiEditorExists());
    mainWindow().RadioButton2().Click();
    QTest::qWait(20);  // the first frame, and any start-up work left, come after
    EXPECT_TRUE(WindowF().Visible());
    expectCgiAddress(QStringLiteral("http://www.example.com/cgi-bin/form.pl"));
}

}  // namespace
