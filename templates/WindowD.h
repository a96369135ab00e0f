// Template window WindowD: see its .cpp for the fragment it holds.
#pragma once

#include "templates/TemplateWindow.h"

class WindowD : public TemplateWindow {
public:
    WindowD();
};

// The single instance, created on first use. (The function shares the class's
// name; inside the class's own members use this instead.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"  // the accessor is named after its class on purpose
WindowD& WindowD();
#pragma GCC diagnostic pop
