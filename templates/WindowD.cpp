#include "templates/WindowD.h"

#include "framework/Instances.h"
#include "templates/TemplateDesign.h"

namespace {

// The opening of the grading function check: only the first grading after a
// load gets through, and it marks the page graded at once.
const QString kCheckFunctionFragment = JoinLines({
    "function check(){",
    "if(ck==\"1\"){ck=\"2\";",
});

}  // namespace

WindowD::WindowD()
    : TemplateWindow(TemplateWindowDesign(QStringLiteral("D"), 706, 554),
                     {FragmentArea(12, 14, 667, 497, kCheckFunctionFragment)}) {}

class WindowD& WindowD() {
    return fw::Instance<class WindowD>();
}
