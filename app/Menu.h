// The program's one menu bar: "File", "Edit", an untitled menu and "Help".
#pragma once

#include "framework/Menus.h"

class Menu : public fw::MenuBar {
public:
    Menu();            // builds the four menus
    void Untitled1();  // "File"
    void Untitled2();  // "Edit"
    void Untitled3();  // the untitled menu
    void Untitled4();  // "Help"
};

// The single instance, built whole on the first call and kept by the instance
// owner (framework/Instances.h), which destroys it after every window. (The
// function shares the class's name; write "class Menu" where the type is meant
// after this point.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"  // the accessor is named after its class on purpose
Menu& Menu();
#pragma GCC diagnostic pop
