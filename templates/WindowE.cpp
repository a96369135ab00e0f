#include "templates/WindowE.h"

#include "framework/Instances.h"
#include "templates/ReportStyle.h"
#include "templates/TemplateDesign.h"

namespace {

// The results window script for CGI delivery. Line 1 takes the window named
// "msg"; when it still shows another site's reply from an earlier grading,
// reading its document throws, and a fresh window takes its place. The last
// line leaves a single-quoted string open for the per-problem report and the
// CGI form.
const QString kReportScriptFragment = JoinLines({
    "var msg=open(\"\",\"msg\");try{msg.document.org}catch(e){msg.close();msg=open(\"\",\"msg\")};",
    "",
    "",
    "",
    "",
    "",
    kReportStyleWrite,
    "",
    "",
    "",
    "msg.document.write('<B>Results Reporter:",
});

}  // namespace

WindowE::WindowE()
    : TemplateWindow(TemplateWindowDesign(QStringLiteral("E"), 616, 474),
                     {FragmentArea(20, 14, 576, 404, kReportScriptFragment)}) {}

class WindowE& WindowE() {
    return fw::Instance<class WindowE>();
}
