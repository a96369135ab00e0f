// Template window windowB: see its .cpp for the fragment it holds.
#pragma once

#include "templates/TemplateWindow.h"

class windowB : public TemplateWindow {
public:
    windowB();
};

// The single instance, created on first use. (The function shares the class's
// name; inside the class's own members use this instead.)
windowB& windowB();
