// "Edit Email": holds the mailto: results form and lets the teacher edit it.
#pragma once

#include "templates/FormEditorWindow.h"

class WindowF2 : public FormEditorWindow {
public:
    WindowF2();

protected:
    void Event_Open() override;  // selects the placeholder e-mail address
};

WindowF2& WindowF2();
