// The usage instructions in a scrolling text area.
#pragma once

#include "framework/Window.h"

class HelpWindow : public fw::Window {
public:
    HelpWindow();
    fw::TextArea& EditField1() const { return control<fw::TextArea>(QStringLiteral("EditField1")); }
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"  // the accessor is named after its class on purpose
HelpWindow& HelpWindow();
#pragma GCC diagnostic pop
