// Template window WindowE2: see its .cpp for the fragment it holds.
#pragma once

#include "templates/TemplateWindow.h"

class WindowE2 : public TemplateWindow {
public:
    WindowE2();
};

// The single instance, created on first use. (The function shares the class's
// name; inside the class's own members use this instead.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"  // the accessor is named after its class on purpose
WindowE2& WindowE2();
#pragma GCC diagnostic pop
