#include "builder/mainWindow.h"

#include "builder/Done.h"
#include "builder/InterruptedDone.h"
#include "builder/StartupPreferences.h"
#include "builder/SubmitProblem.h"
#include "builder/UnknownFolder.h"
#include "framework/Files.h"
#include "framework/Globals.h"
#include "framework/Instances.h"
#include "framework/Runtime.h"
#include "templates/AboutWindow.h"
#include "templates/HelpWindow.h"
#include "templates/WindowF.h"
#include "templates/WindowF2.h"

#include <stdexcept>
#include <string>

namespace {

using fw::Kind;
constexpr unsigned kLabel = fw::Bold | fw::AlignCenter;

const fw::WindowDesign kDesign{
    .title = QStringLiteral("quillory3"),
    .width = 690,
    .height = 560,
    .visible = true,
    .resizeable = false,
    .minimizeButton = false,
    .maximizeButton = false,
    .backColor = 0xC0C0C0,
    .closeQuits = true,
};

// The 44 controls in creation order, which is also the keyboard's tab order,
// in the two parts that CreateControls0 and CreateControls1 create.
// Columns: kind, name, left, top, width, height, font size, text, style.
const std::vector<fw::ControlDesign> kControls0 = {
    {Kind::TextArea, "probField", 51, 117, 612, 82, 12},
    {Kind::TextField, "var1min", 46, 266, 38, 22, 12},
    {Kind::TextField, "var1max", 111, 266, 38, 22, 12},
    {Kind::TextField, "var2min", 282, 266, 38, 22, 12},
    {Kind::TextField, "var2max", 343, 266, 38, 22, 12},
    {Kind::TextField, "var1dec", 174, 266, 38, 22, 12},
    {Kind::TextField, "var2dec", 403, 266, 39, 22, 12},
    {Kind::TextField, "var3min", 498, 266, 38, 22, 12},
    {Kind::TextField, "var3max", 559, 266, 38, 22, 12},
    {Kind::TextField, "var3dec", 619, 266, 39, 22, 12},
    {Kind::StaticText, "StaticText1", 303, 211, 100, 20, 18, "Variables"},
    {Kind::Separator, "Separator1", 46, 233, 612, 4, 0, "", fw::LockRight},
    {Kind::StaticText, "StaticText2", 80, 243, 100, 20, 12, "1", kLabel},
    {Kind::StaticText, "StaticText3", 312, 243, 100, 20, 12, "2", kLabel},
    {Kind::StaticText, "StaticText4", 527, 243, 100, 20, 12, "3", kLabel},
    {Kind::Line, "Line1", 236, 238, 0, 87},
    {Kind::Line, "Line2", 469, 238, 0, 87},
    {Kind::StaticText, "StaticText5", 15, 300, 100, 20, 12, "min", kLabel},
    {Kind::StaticText, "StaticText6", 80, 300, 100, 20, 12, "max", kLabel},
    {Kind::StaticText, "StaticText7", 145, 300, 100, 20, 12, "dec", kLabel},
    {Kind::StaticText, "StaticText8", 249, 300, 100, 20, 12, "min", kLabel},
    {Kind::StaticText, "StaticText9", 314, 300, 100, 20, 12, "max", kLabel},
    {Kind::StaticText, "StaticText10", 379, 300, 100, 20, 12, "dec", kLabel},
    {Kind::StaticText, "StaticText11", 469, 300, 100, 20, 12, "min", kLabel},
    {Kind::StaticText, "StaticText12", 527, 300, 100, 20, 12, "max", kLabel},
    {Kind::StaticText, "StaticText13", 595, 300, 100, 20, 12, "dec", kLabel},
    {Kind::Separator, "Separator2", 51, 322, 612, 4, 0, "", fw::LockRight},
    {Kind::StaticText, "StaticText14", 46, 87, 191, 24, 18, "Problem Statement:"},
    {Kind::StaticText, "StaticText15", 282, 79, 376, 32, 12,
     "Use [x], [y] and [z] for your variables in that order as needed.", fw::Bold | fw::Multiline},
    {Kind::TextField, "solField", 46, 395, 475, 69, 12, "", fw::LockRight | fw::LockBottom},
};

const std::vector<fw::ControlDesign> kControls1 = {
    {Kind::Listbox, "errorbox", 532, 395, 42, 87, 12, "0\r.5\r1\r1.5\r2\r2.5\r3\r\r"},
    {Kind::StaticText, "StaticText16", 39, 338, 413, 45, 18, "Paste solution  below from formulint2", fw::Multiline},
    {Kind::StaticText, "StaticText17", 481, 338, 100, 45, 18, "Error Margin", fw::Multiline | fw::AlignRight},
    {Kind::PushButton, "nextButton1", 39, 494, 128, 52, 12, "Submit Problem", fw::Bold},
    {Kind::PushButton, "PushButton1", 527, 494, 69, 52, 12, "Done", fw::Bold},
    {Kind::TextField, "EditField5", 325, 6, 154, 29, 12},
    {Kind::Separator, "Separator3", 39, 71, 619, 4},
    {Kind::StaticText, "StaticText18", 161, 7, 152, 60, 12, "Test Title\rDo Not Include \rAny Spaces ",
     fw::Bold | fw::Multiline | fw::AlignRight},
    {Kind::TextField, "numField6", 645, 13, 25, 22, 12, "1"},
    {Kind::StaticText, "StaticText19", 516, 14, 122, 21, 12, "Problem Number", fw::Bold},
    {Kind::Listbox, "decBox", 619, 395, 42, 87, 12, "No\r0\r1\r2\r3\r4\r5\r6\r7\r"},
    {Kind::StaticText, "StaticText20", 595, 338, 82, 45, 18, "Answer\rDecimals", fw::Multiline},
    {Kind::RadioButton, "RadioButton1", 20, 19, 108, 20, 12, "Use mailto:", fw::Bold},
    {Kind::RadioButton, "RadioButton2", 20, 45, 108, 20, 12, "Use CGI", fw::Bold},
};

std::vector<fw::ControlDesign> allControls() {
    std::vector<fw::ControlDesign> all = kControls0;
    all.insert(all.end(), kControls1.begin(), kControls1.end());
    return all;
}

}  // namespace

mainWindow::mainWindow() : fw::Window(kDesign, allControls()) {}

class mainWindow& mainWindow() {
    return fw::Instance<class mainWindow>();
}

// The window shows the application's menu bar, the Menu instance that
// start-up gives the application object before it opens this window.
void mainWindow::Layout() {
    const fw::Application* app = fw::AppObject();
    if (!app) throw std::logic_error("the main window needs the application object, which holds its menu bar");
    SetMenuBar(app->GetMenuBar());
    fw::Window::Layout();
}

void mainWindow::CreateControls() {
    CreateControls0();
    CreateControls1();
}

void mainWindow::CreateControls0() {
    for (const fw::ControlDesign& design : kControls0) CreateControl(design);
}

void mainWindow::CreateControls1() {
    for (const fw::ControlDesign& design : kControls1) CreateControl(design);
    BindAction(QStringLiteral("nextButton1"), [this] { nextButton1_Action(); });
    BindAction(QStringLiteral("PushButton1"), [this] { PushButton1_Action(); });
    BindAction(QStringLiteral("RadioButton1"), [this] { RadioButton1_Action(); });
    BindAction(QStringLiteral("RadioButton2"), [this] { RadioButton2_Action(); });
}

mainWindow::VariableFields mainWindow::variableFields(int variable) const {
    switch (variable) {
    case 0: return {var1min(), var1max(), var1dec()};
    case 1: return {var2min(), var2max(), var2dec()};
    case 2: return {var3min(), var3max(), var3dec()};
    }
    throw std::out_of_range("no variable " + std::to_string(variable));
}

// ---- Actions ----------------------------------------------------------------

void mainWindow::nextButton1_Action() { SubmitProblem(*this).Run(); }
void mainWindow::PushButton1_Action() { Done(*this).Run(); }
void mainWindow::RadioButton1_Action() { WindowF2().Show(); }
void mainWindow::RadioButton2_Action() { WindowF().Show(); }
void mainWindow::Event_Open() {
    QString why;
    const QByteArray folder = fw::ApplicationFolder(&why);
    if (folder.isEmpty()) {
        fw::MsgBox(UnknownFolderAtStartUp(why));
        return;
    }
    SettleInterruptedDone(folder);
    StartupPreferences(*this, folder).Apply();
}

// ---- Menu commands ------------------------------------------------------------

template <class T>
T& mainWindow::menuItem(const char* name) const {
    fw::MenuBar* bar = GetMenuBar();
    if (!bar) throw std::logic_error("the main window has no menu bar");
    if (auto* item = dynamic_cast<T*>(bar->Lookup(QString::fromLatin1(name)))) return *item;
    throw std::logic_error(std::string("the menu bar has no item ") + name + " of that class");
}

fw::MenuItem& mainWindow::UntitledMenu0() const { return menuItem<fw::MenuItem>("UntitledMenu0"); }
fw::AppleMenuItem& mainWindow::AppleAbout() const { return menuItem<fw::AppleMenuItem>("AppleAbout"); }
fw::MenuItem& mainWindow::HelpHelp() const { return menuItem<fw::MenuItem>("HelpHelp"); }
fw::MenuItem& mainWindow::UntitledMenu1() const { return menuItem<fw::MenuItem>("UntitledMenu1"); }
fw::MenuItem& mainWindow::UntitledMenu2() const { return menuItem<fw::MenuItem>("UntitledMenu2"); }
fw::MenuItem& mainWindow::EditClear() const { return menuItem<fw::MenuItem>("EditClear"); }
fw::MenuItem& mainWindow::EditPaste() const { return menuItem<fw::MenuItem>("EditPaste"); }
fw::MenuItem& mainWindow::EditCopy() const { return menuItem<fw::MenuItem>("EditCopy"); }
fw::MenuItem& mainWindow::EditCut() const { return menuItem<fw::MenuItem>("EditCut"); }
fw::MenuItem& mainWindow::UntitledMenu3() const { return menuItem<fw::MenuItem>("UntitledMenu3"); }
fw::MenuItem& mainWindow::EditUndo() const { return menuItem<fw::MenuItem>("EditUndo"); }
fw::MenuItem& mainWindow::UntitledMenu4() const { return menuItem<fw::MenuItem>("UntitledMenu4"); }
fw::QuitMenuItem& mainWindow::FileQuit() const { return menuItem<fw::QuitMenuItem>("FileQuit"); }
fw::MenuItem& mainWindow::UntitledMenu5() const { return menuItem<fw::MenuItem>("UntitledMenu5"); }

void mainWindow::AddMenuHandlers() {
    AddMenuHandler(QStringLiteral("AppleAbout"), [this] { return AppleAbout_Action(); });
    AddMenuHandler(QStringLiteral("HelpHelp"), [this] { return HelpHelp_Action(); });
}

void mainWindow::Event_EnableMenuItems() {
    AppleAbout().SetEnabled(true);
    HelpHelp().SetEnabled(true);
}

bool mainWindow::AppleAbout_Action() {
    AboutWindow().Show();
    return false;
}

bool mainWindow::HelpHelp_Action() {
    HelpWindow().Show();
    return false;
}
