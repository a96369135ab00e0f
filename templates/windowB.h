// Template window windowB: see its .cpp for the fragment it holds.
#pragma once

#include "templates/TemplateWindow.h"

class windowB : public TemplateWindow {
public:
    windowB();
};

// The single instance, created on first use. (The function shares the class's
// name; inside the class's own members use this instead.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"  // the accessor is named after its class on purpose
windowB& windowB();
#pragma GCC diagnostic pop
