// Template window WindowE2: see its .cpp for the fragment it holds.
#pragma once

#include "templates/TemplateWindow.h"

class WindowE2 : public TemplateWindow {
public:
    WindowE2();
};

// The single instance, created on first use. (The function shares the class's
// name; inside the class's own members use this instead.)
WindowE2& WindowE2();
