// "Edit Domain": holds the CGI results form and lets the teacher edit it.
#pragma once

#include "templates/FormEditorWindow.h"

class WindowF : public FormEditorWindow {
public:
    WindowF();

protected:
    void Event_Open() override;  // selects the host of the placeholder address
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"  // the accessor is named after its class on purpose
WindowF& WindowF();
#pragma GCC diagnostic pop
