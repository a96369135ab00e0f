#include "templates/AboutWindow.h"

#include "framework/Globals.h"
#include "framework/Instances.h"
#include "templates/Placeholders.h"

#include <QUrl>

namespace {

const QString kCredits = QStringLiteral("Builds self-grading web pages of numeric practice problems.");

fw::WindowDesign windowDesign() {
    fw::WindowDesign window;
    window.title = QStringLiteral("About");
    window.width = 295;
    window.height = 230;
    window.visible = true;
    window.backColor = 0xFFFFFF;
    return window;
}

// A light blue framed panel holding the name, the credits and the link; the
// labels' positions count from the window's corner.
std::vector<fw::ControlDesign> controlTable() {
    using fw::Kind;
    const QString panel = QStringLiteral("Rectangle1");
    // clang-format off
    return {
        {.kind = Kind::Rectangle, .name = panel, .left = 13, .top = 14, .width = 262, .height = 191, .text = {},
         .textColor = 0x000000 /* border */, .fillColor = 0xDBEDFF, .parent = {}},
        {.kind = Kind::StaticText, .name = QStringLiteral("StaticText1"), .left = 30, .top = 35, .width = 204,
         .height = 21, .textSize = 18, .text = QStringLiteral("quillory3\r"), .style = fw::Underline | fw::Multiline,
         .textColor = 0xEF1F1D, .parent = panel},
        {.kind = Kind::StaticText, .name = QStringLiteral("StaticText2"), .left = 20, .top = 76, .width = 249,
         .height = 63, .textSize = 14, .text = kCredits, .style = fw::Bold | fw::Multiline, .parent = panel},
        {.kind = Kind::StaticText, .name = QStringLiteral("StaticText3"), .left = 20, .top = 161, .width = 226,
         .height = 20, .textSize = 12, .text = QUrl(kAboutLinkAddress).host(), .style = fw::Bold | fw::Underline,
         .textColor = 0x4618C6, .parent = panel},
    };
    // clang-format on
}

}  // namespace

AboutWindow::AboutWindow() : fw::Window(windowDesign(), controlTable()) {}

void AboutWindow::CreateControls() {
    fw::Window::CreateControls();
    fw::SetMouseDown(StaticText3(), [this](int x, int y) { return StaticText3_MouseDown(x, y); });
}

bool AboutWindow::StaticText3_MouseDown(int, int) {
    fw::ShowURL(kAboutLinkAddress);
    return false;
}

class AboutWindow& AboutWindow() {
    return fw::Instance<class AboutWindow>();
}
