#include "templates/HelpWindow.h"

#include "framework/Instances.h"
#include "templates/Placeholders.h"
#include "templates/TemplateDesign.h"

namespace {

// The usage instructions, one step or note per line.
const QString kHelpText = JoinLines({
    "To use quillory3 follow these simple steps.",
    "1) Choose either \"mailto:\" or \"CGI\". If you choose the first the tests will be set up to use the mailto form action. This is more reliable than it used to be. If you make the second choice the test will be set up to use the free form cgi, generiform, at " +
        kGeneriformHomeAddress,
    "(You can also use your own cgi)",
    "If you have chosen 'mailto:'  you will be given the chance to enter your email address. Otherwise you will be given the opportunity to enter your domain address of your form cgi and make other changes as needed.",
    "2) Enter a title (no spaces)",
    "3) Enter your problem statement use one or more of [x] [y] and [z] for your changing variables in that order. Variable 1 is always [x], etc.",
    "4) Specify the minimum, maximum and the number of decimal places for each variable you use.",
    "5) Use Formulint2 to develop and test your JavaScript and paste it in the solution.",
    "If the solution has [x], [y] or [z] in it and the problem statement does not have that variable(s), then quillory3 will assume that the solution is referring to the value of the variable  in the previous problem. In that manner you can chain problems together allowing for followup and in depth questioning.",
    "6) Select an error tolerance and the number of decimal places you want in your answer. If you select 'No' than no rounding occurs, useful when your answers will be less than 1x10^-7.",
    "7) Submit the problem.",
    "8) Repeat 2-7 until you are finished.",
    "9) Click done.  The application will quit and two files will appear in the location of your application: YourTitle.html, YourTitle.js. Caution: if you already have files by that name they will be overwritten.",
    "10) Put them on your server and point your students at YourTitle.html. ",
});

fw::WindowDesign windowDesign() { return TemplateWindowDesign(QStringLiteral("Help"), 720, 408, true); }

std::vector<fw::ControlDesign> controlTable() { return {FragmentArea(12, 14, 696, 374, kHelpText)}; }

}  // namespace

HelpWindow::HelpWindow() : fw::Window(windowDesign(), controlTable()) {}

class HelpWindow& HelpWindow() {
    return fw::Instance<class HelpWindow>();
}
