// Start-up and shut-down, the menu bar, the main window's design and its
// menu commands.
#include "app/App.h"
#include "app/Menu.h"
#include "app/Startup.h"
#include "builder/mainWindow.h"
#include "framework/Instances.h"
#include "framework/Runtime.h"
#include "support/Harness.h"
#include "templates/AboutWindow.h"
#include "templates/HelpWindow.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <memory>

class Shell : public AppHarness {
protected:
    void SetUp() override {
        AppHarness::SetUp();
        fw::SetUnhandledExceptionHandler([this](const QString& what) { reports_.push_back(what); });
        fw::RuntimeInit();
    }
    void TearDown() override {
        fw::SetUnhandledExceptionHandler(nullptr);
        AppHarness::TearDown();
    }
    std::vector<QString> reports_;
};

TEST_F(Shell, StartupCreatesAppMenuAndOnlyTheMainWindow) {
    Startup();
    ASSERT_NE(fw::AppObject(), nullptr);
    EXPECT_NE(dynamic_cast<App*>(fw::AppObject()), nullptr);
    EXPECT_EQ(fw::AppObject()->GetMenuBar(), &Menu());
    EXPECT_EQ(mainWindow().GetMenuBar(), &Menu());
    EXPECT_EQ(fw::LiveWindows(), std::vector<QString>{"mainWindow"});
    EXPECT_TRUE(mainWindow().Visible());
    EXPECT_TRUE(reports_.empty());
}

TEST_F(Shell, TheMainWindowTakesItsMenuBarFromTheApplicationObject) {
    EXPECT_EQ(mainWindow().GetMenuBar(), fw::AppObject()->GetMenuBar());
    fw::DestroyAllInstances();
    EXPECT_THROW(mainWindow(), std::logic_error);  // opened before start-up made the application object
    EXPECT_TRUE(fw::LiveWindows().empty());
}

TEST_F(Shell, ClassesAreRegisteredInOrder) {
    RegisterClasses();
    const auto& classes = fw::RegisteredClasses();
    ASSERT_GE(classes.size(), 13u);
    const std::vector<QString> last(classes.end() - 13, classes.end());
    EXPECT_EQ(last, (std::vector<QString>{"mainWindow", "Menu", "WindowA", "windowB", "WindowC", "WindowD", "WindowE",
                                          "WindowF", "AboutWindow", "HelpWindow", "WindowF2", "WindowE2", "App"}));
}

void throwingStartup() {
    NewAppInstance();
    throw std::runtime_error("broken start");
}

TEST_F(Shell, AnExceptionAtStartIsReportedOnceAndTheLoopNeverRuns) {
    // Were the event loop entered here, the test would hang.
    Main(throwingStartup);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_TRUE(reports_[0].contains("broken start"));
    ReleaseModuleGlobals();
    EXPECT_FALSE(fw::IsLive<class Menu>());
    EXPECT_EQ(fw::AppObject(), nullptr);
    EXPECT_EQ(fw::RuntimeExit(), 1);
}

// Starts as the program does, then, once the event loop runs, clicks a button
// whose handler throws.
void startupWithAFailingButton() {
    Startup();
    mainWindow().nextButton1().SetAction([] { throw std::runtime_error("broken handler"); });
    QTimer::singleShot(0, mainWindow().widget(), [] { mainWindow().nextButton1().Push(); });
}

TEST_F(Shell, AnExceptionInAHandlerIsReportedOnceAndEndsTheLoopWithStatusOne) {
    bool loopOutlivedIt = false;
    QTimer giveUp;  // only a loop that goes on after the exception gets here
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [&] {
        loopOutlivedIt = true;
        QCoreApplication::exit(2);
    });
    giveUp.start(5000);
    Main(startupWithAFailingButton);
    EXPECT_FALSE(loopOutlivedIt);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_TRUE(reports_[0].contains("broken handler"));
    ReleaseModuleGlobals();
    EXPECT_EQ(fw::RuntimeExit(), 1);
}

TEST_F(Shell, QuitAndTheCloseBoxEndTheProgramWritingNothing) {
    Startup();
    mainWindow().ChooseMenuItem("FileQuit");
    EXPECT_EQ(quits_, std::vector<int>{0});
    mainWindow().widget()->close();
    EXPECT_EQ(quits_, (std::vector<int>{0, 0}));
    EXPECT_TRUE(QDir(folder_.path()).entryList(QDir::Files).isEmpty());
    ReleaseModuleGlobals();
    EXPECT_TRUE(fw::LiveWindows().empty());
    EXPECT_FALSE(fw::IsLive<class Menu>());
}

TEST_F(Shell, MenuTreeInOrder) {
    class Menu& bar = Menu();
    EXPECT_EQ(&bar, &Menu());
    struct Row {
        const char* name;
        const char* text;
        const char* shortcut;
    };
    const std::vector<std::pair<Row, std::vector<Row>>> expected = {
        {{"UntitledMenu4", "File", ""}, {{"FileQuit", "Quit", "Cmd+Q"}}},
        {{"UntitledMenu2", "Edit", ""},
         {{"EditUndo", "Undo", "Cmd+Z"},
          {"UntitledMenu3", "-", ""},
          {"EditCut", "Cut", "Cmd+X"},
          {"EditCopy", "Copy", "Cmd+C"},
          {"EditPaste", "Paste", "Cmd+V"},
          {"EditClear", "Clear", ""}}},
        {{"UntitledMenu1", "", ""}, {}},
        {{"UntitledMenu0", "Help", ""}, {{"HelpHelp", "Help", "Cmd+H"}, {"AppleAbout", "About Qlry3", ""}}},
    };
    ASSERT_EQ(bar.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        const auto& [menu, items] = expected[size_t(i)];
        EXPECT_EQ(bar.Item(i).Name(), menu.name);
        EXPECT_EQ(bar.Item(i).Text(), menu.text);
        ASSERT_EQ(bar.Item(i).Count(), int(items.size()));
        for (int j = 0; j < bar.Item(i).Count(); ++j) {
            EXPECT_EQ(bar.Item(i).Item(j).Name(), items[size_t(j)].name);
            EXPECT_EQ(bar.Item(i).Item(j).Text(), items[size_t(j)].text);
            EXPECT_EQ(bar.Item(i).Item(j).KeyboardShortcut(), items[size_t(j)].shortcut);
        }
    }
    EXPECT_NE(dynamic_cast<fw::QuitMenuItem*>(bar.Lookup("FileQuit")), nullptr);
    EXPECT_NE(dynamic_cast<fw::AppleMenuItem*>(bar.Lookup("AppleAbout")), nullptr);
    EXPECT_TRUE(bar.Lookup("FileQuit")->AutoEnable());
}

TEST_F(Shell, TheWindowShowsTheBarWithShortcuts) {
    auto* window = static_cast<QMainWindow*>(mainWindow().widget());
    const auto menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(menus[0]->text(), "File");
    EXPECT_EQ(menus[3]->menu()->actions()[0]->shortcut(), QKeySequence("Ctrl+H"));
    EXPECT_EQ(menus[0]->menu()->actions()[0]->shortcut(), QKeySequence("Ctrl+Q"));
}

TEST_F(Shell, AboutAndHelpAreEnabledAndShowOneWindowEach) {
    mainWindow().UpdateMenus();
    EXPECT_TRUE(mainWindow().AppleAbout().Enabled());
    EXPECT_TRUE(mainWindow().HelpHelp().Enabled());
    EXPECT_FALSE(mainWindow().EditUndo().Enabled());  // nothing focused to act on
    mainWindow().probField().SetText("a problem in progress");
    mainWindow().UpdateMenus();
    EXPECT_TRUE(mainWindow().AppleAbout().Enabled());

    mainWindow().ChooseMenuItem("AppleAbout");
    class AboutWindow* about = &AboutWindow();
    EXPECT_TRUE(about->Visible());
    mainWindow().ChooseMenuItem("AppleAbout");
    EXPECT_EQ(about, &AboutWindow());
    about->widget()->close();
    EXPECT_FALSE(about->Visible());
    mainWindow().ChooseMenuItem("AppleAbout");
    EXPECT_TRUE(about->Visible());

    mainWindow().ChooseMenuItem("HelpHelp");
    class HelpWindow* help = &HelpWindow();
    EXPECT_TRUE(help->Visible());
    const size_t live = fw::LiveWindows().size();
    mainWindow().ChooseMenuItem("HelpHelp");
    EXPECT_EQ(help, &HelpWindow());
    EXPECT_EQ(fw::LiveWindows().size(), live);
    EXPECT_EQ(mainWindow().probField().Text(), "a problem in progress");
}

TEST_F(Shell, MainWindowDesign) {
    class mainWindow& w = mainWindow();
    EXPECT_EQ(w.Title(), "quillory3");
    QWidget* content = static_cast<QMainWindow*>(w.widget())->centralWidget();
    EXPECT_EQ(content->minimumSize(), QSize(690, 560));
    EXPECT_EQ(content->maximumSize(), QSize(690, 560));  // not resizable
    ASSERT_EQ(w.controls().size(), 44u);
    EXPECT_EQ(w.controls().front()->Name(), "probField");
    EXPECT_EQ(w.controls().back()->Name(), "RadioButton2");
    EXPECT_EQ(w.control<fw::Listbox>("errorbox").ListCount(), 7);
    EXPECT_EQ(w.control<fw::Listbox>("decBox").List(0), "No");
    EXPECT_EQ(w.control<fw::Listbox>("decBox").ListCount(), 9);
    EXPECT_EQ(w.control<fw::StaticText>("StaticText16").Text(), "Paste solution  below from formulint2");
    EXPECT_EQ(w.control<fw::StaticText>("StaticText18").Text(), "Test Title\rDo Not Include \rAny Spaces ");
    saveScreenshot(w, "mainWindow.png");
}

TEST_F(Shell, MainWindowStartsEmptyWithNothingSelected) {
    class mainWindow& w = mainWindow();
    for (const auto& c : w.controls()) {
        if (auto* text = dynamic_cast<fw::TextField*>(c.get())) {
            EXPECT_EQ(text->Text(), c->Name() == "numField6" ? "1" : "") << c->Name();
        }
    }
    EXPECT_EQ(w.probField().Text(), "");
    EXPECT_EQ(w.errorbox().Text(), "");
    EXPECT_EQ(w.decBox().Text(), "");
    EXPECT_FALSE(w.RadioButton1().Value());
    EXPECT_FALSE(w.RadioButton2().Value());
    w.RadioButton1().SetValue(true);
    w.RadioButton2().SetValue(true);
    EXPECT_FALSE(w.RadioButton1().Value());
}

TEST_F(Shell, TabOrderFollowsCreationOrder) {
    class mainWindow& w = mainWindow();
    std::vector<QString> order;
    QWidget* start = w.probField().widget();
    QWidget* at = start;
    do {
        if (at->focusPolicy() & Qt::TabFocus) order.push_back(at->objectName());
        at = at->nextInFocusChain();
    } while (at != start && order.size() < 40);
    const std::vector<QString> expected = {"probField", "var1min",  "var1max",      "var2min",     "var2max",
                                           "var1dec",   "var2dec",  "var3min",      "var3max",     "var3dec",
                                           "solField",  "errorbox", "nextButton1",  "PushButton1", "EditField5",
                                           "numField6", "decBox",   "RadioButton1", "RadioButton2"};
    ASSERT_GE(order.size(), expected.size());
    EXPECT_EQ(std::vector<QString>(order.begin(), order.begin() + long(expected.size())), expected);
}

// The letters the designs ask for: where Geneva is missing, each control shows
// the stand-in Qt itself finds for a sans-serif Geneva, at the design's size.
TEST_F(Shell, ControlsShowGenevasStandInAtTheirSizes) {
    for (const auto& c : mainWindow().controls()) {
        const QFont shown = c->widget()->font();
        if (shown.pixelSize() <= 0) continue;  // the platform's own font
        QFont asked(QStringLiteral("Geneva"));
        asked.setStyleHint(QFont::SansSerif);
        asked.setPixelSize(shown.pixelSize());
        asked.setBold(shown.bold());
        EXPECT_EQ(QFontInfo(shown).family(), QFontInfo(asked).family()) << c->Name();
        const QString sample = QStringLiteral("Problem Statement: [x] 0.5");
        EXPECT_EQ(QFontMetrics(shown).boundingRect(sample), QFontMetrics(asked).boundingRect(sample)) << c->Name();
    }
}

// Lines, framed panels and labels in their design colours: the main window's
// upright lines black on grey, the About panel a black frame around light
// blue, its title red.
TEST_F(Shell, LinesAndPanelsKeepTheirColours) {
    const auto content = [](const fw::Window& w) {
        return static_cast<QMainWindow*>(w.widget())->centralWidget()->grab().toImage();
    };
    const QRgb grey = qRgb(0xC0, 0xC0, 0xC0), black = qRgb(0, 0, 0), blue = qRgb(0xDB, 0xED, 0xFF);
    const QImage main = content(mainWindow());
    EXPECT_EQ(main.pixel(236, 280), black);
    EXPECT_EQ(main.pixel(237, 280), grey);
    EXPECT_EQ(main.pixel(469, 280), black);
    const QImage about = content(AboutWindow());
    EXPECT_EQ(about.pixel(12, 100), qRgb(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(about.pixel(13, 100), black);
    EXPECT_EQ(about.pixel(14, 100), blue);
    EXPECT_EQ(about.pixel(274, 204), black);
    EXPECT_EQ(about.pixel(273, 203), blue);
    const QImage title = AboutWindow().StaticText1().widget()->grab().toImage();
    bool red = false;
    for (int y = 0; y < title.height(); ++y)
        for (int x = 0; x < title.width(); ++x) red = red || title.pixel(x, y) == qRgb(0xEF, 0x1F, 0x1D);
    EXPECT_TRUE(red);  // the title's letters
}

// Clipboard text that counts how often it is read.
class CountedText : public QMimeData {
public:
    explicit CountedText(std::shared_ptr<int> reads) : reads_(std::move(reads)) { setText(QStringLiteral("42")); }

protected:
    QVariant retrieveData(const QString& type, QMetaType as) const override {
        ++*reads_;
        return QMimeData::retrieveData(type, as);
    }

private:
    std::shared_ptr<int> reads_;
};

// The Edit items follow the focus without a look at the clipboard; one left
// enabled by the field does not take Ctrl+C from the list that has the focus
// next; the menu reads the clipboard as it opens.
TEST_F(Shell, EditItemsFollowTheFocusAndOnlyTheMenuReadsTheClipboard) {
    class mainWindow& w = mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.widget()));
    auto reads = std::make_shared<int>(0);
    QApplication::clipboard()->setMimeData(new CountedText(reads));
    typeInto(w.var1min(), QStringLiteral("12345"));
    static_cast<QLineEdit*>(w.var1min().widget())->selectAll();
    w.var1min().widget()->setFocus();
    EXPECT_TRUE(w.EditCopy().Enabled());
    EXPECT_TRUE(w.EditCut().Enabled());
    selectRow(w.errorbox(), QStringLiteral("1.5"));
    w.errorbox().widget()->setFocus();
    EXPECT_FALSE(w.EditCopy().Enabled());
    EXPECT_FALSE(w.EditPaste().Enabled());
    EXPECT_EQ(*reads, 0);
    QTest::keyClick(w.errorbox().widget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "1.5");  // the list copied its row

    QMenu* edit = static_cast<QMainWindow*>(w.widget())->menuBar()->actions()[1]->menu();
    w.var2min().widget()->setFocus();
    QApplication::clipboard()->setText(QString());
    emit edit->aboutToShow();
    EXPECT_FALSE(w.EditPaste().Enabled());
    QApplication::clipboard()->setMimeData(new CountedText(reads));
    emit edit->aboutToShow();
    EXPECT_GT(*reads, 0);
    EXPECT_TRUE(w.EditPaste().Enabled());
    QApplication::clipboard()->clear();
}
