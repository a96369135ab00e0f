// A window whose text area EditField1 holds one fragment of the generated
// page. The program reads and sets the fragment whole.
#pragma once

#include "framework/Window.h"

class TemplateWindow : public fw::Window {
public:
    TemplateWindow(fw::WindowDesign design, std::vector<fw::ControlDesign> controls)
        : fw::Window(std::move(design), std::move(controls)) {}
    fw::TextArea& EditField1() const { return control<fw::TextArea>(QStringLiteral("EditField1")); }
};
