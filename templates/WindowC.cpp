#include "templates/WindowC.h"

#include "framework/Instances.h"
#include "templates/TemplateDesign.h"

// The answer script starts empty: each problem appends its answer statement.
WindowC::WindowC()
    : TemplateWindow(TemplateWindowDesign(QStringLiteral("C"), 676, 507), {FragmentArea(13, 14, 643, 473, QString())}) {
}

class WindowC& WindowC() {
    return fw::Instance<class WindowC>();
}
