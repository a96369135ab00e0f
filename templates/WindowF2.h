// "Edit Email": holds the mailto: results form and lets the teacher edit it.
#pragma once

#include "templates/FormEditorWindow.h"

class WindowF2 : public FormEditorWindow {
public:
    WindowF2();

protected:
    void Event_Open() override;  // selects the placeholder e-mail address
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"  // the accessor is named after its class on purpose
WindowF2& WindowF2();
#pragma GCC diagnostic pop
