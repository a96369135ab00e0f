#include "templates/WindowE2.h"

#include "framework/Instances.h"
#include "templates/ReportStyle.h"
#include "templates/TemplateDesign.h"

namespace {

// The results window script for mailto: delivery; as the CGI one, with a
// fresh "msg" window when the old one can't be read, and a single-quoted
// string left open for the per-problem report and the mailto: form.
const QString kMailtoReportScriptFragment = JoinLines({
    "var msg=window.open(\"\",\"msg\");try{msg.document.open}catch(e){msg.close();msg=window.open(\"\",\"msg\")};",
    "",
    kReportStyleWrite,
    "",
    "",
    "",
    "msg.document.write('<B>Results Reporter:",
});

}  // namespace

// Designed visible: "Done" in mailto: mode shows it.
WindowE2::WindowE2()
    : TemplateWindow(TemplateWindowDesign(QStringLiteral("Untitled"), 606, 468, true),
                     {FragmentArea(20, 14, 566, 405, kMailtoReportScriptFragment)}) {}

class WindowE2& WindowE2() {
    return fw::Instance<class WindowE2>();
}
