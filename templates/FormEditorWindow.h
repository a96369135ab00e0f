// A results-form editor: the form's text in EditField1, instructions, a note
// on the preference file, and "DONE", which hides the editor and keeps the
// teacher's edits for the next time it is shown.
#pragma once

#include "templates/TemplateWindow.h"

class FormEditorWindow : public TemplateWindow {
public:
    using TemplateWindow::TemplateWindow;
    void PushButton1_Action() { Hide(); }

    fw::StaticText& StaticText1() const { return control<fw::StaticText>(QStringLiteral("StaticText1")); }
    fw::PushButton& PushButton1() const { return control<fw::PushButton>(QStringLiteral("PushButton1")); }
    fw::StaticText& StaticText2() const { return control<fw::StaticText>(QStringLiteral("StaticText2")); }

protected:
    void CreateControls() override {
        fw::Window::CreateControls();
        BindAction(QStringLiteral("PushButton1"), [this] { PushButton1_Action(); });
    }
};
