#include "templates/WindowA.h"

#include "framework/Instances.h"
#include "templates/TemplateDesign.h"

namespace {

// The page's opening and its first script block, left open: the per-problem
// arrays, the page address and the graded flag, and the loop that fills x, y
// and z with "NA ". "xxxx" is the title; the random-value statements of the
// problems continue the last line.
const QString kPageHeadFragment = JoinLines({
    "<html><head><title>xxxx</title>",
    "<SCRIPT LANGUAGE=\"JavaScript1.1\" type=\"text/javascript\">",
    "",
    "var x=new Array(100)",
    "var y=new Array(100)",
    "var z=new Array(100)",
    "var a=new Array(100)",
    "var ag=new Array(100)",
    "var g=new Array(100)",
    "var b=new Array(100)",
    "var catc=document.URL",
    "var ck=\"1\"",
    "for(i=1;i<100;i++){",
    "x[i]=\"NA \"",
    "y[i]=\"NA \"",
    "z[i]=\"NA \"",
    "};",
});

}  // namespace

WindowA::WindowA()
    : TemplateWindow(TemplateWindowDesign(QStringLiteral("A"), 715, 623),
                     {FragmentArea(10, 8, 674, 576, kPageHeadFragment)}) {}

class WindowA& WindowA() {
    return fw::Instance<class WindowA>();
}
