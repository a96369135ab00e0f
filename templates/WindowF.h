// "Edit Domain": holds the CGI results form and lets the teacher edit it.
#pragma once

#include "templates/TemplateWindow.h"

class WindowF : public TemplateWindow {
public:
    WindowF();
    void PushButton1_Action();  // "DONE": hides the editor, keeping its text

    fw::StaticText& StaticText1() const { return control<fw::StaticText>(QStringLiteral("StaticText1")); }
    fw::PushButton& PushButton1() const { return control<fw::PushButton>(QStringLiteral("PushButton1")); }
    fw::StaticText& StaticText2() const { return control<fw::StaticText>(QStringLiteral("StaticText2")); }

protected:
    void CreateControls() override;
    void Event_Open() override;  // selects the host of the placeholder address
};

WindowF& WindowF();
