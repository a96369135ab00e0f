// The program's single instances and their one owner: one window per window
// class, the menu bar and the application object.
//
// Each window class has an accessor named after it that returns Instance<W>():
// the live window, or, on first use, a new one made from its design. The menu
// bar's accessor does the same with its class. Instances are keyed by their
// type, so an accessor can only ever get an object of its own class.
//
// The owner destroys them in one order, fixed here: every window, newest
// first; then the application object; last the menu bar, whose items the
// windows' menus and the application object point at. It does so when
// DestroyAllInstances() is called (the program's shut-down does), and by
// itself at the latest when the Qt application goes, before Qt takes the
// widgets down; so no caller has to remember to release anything.
#pragma once

#include "Menus.h"
#include "Window.h"

#include <QString>
#include <memory>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <vector>

namespace fw {

class Application;

// The class's name as its source spells it ("WindowA"), for messages and
// listings of live windows.
QString ClassName(const std::type_info& type);
template <class T>
QString ClassName() {
    return ClassName(typeid(T));
}

// The class names of the live windows, in creation order.
std::vector<QString> LiveWindows();

// Destroys every window (newest first), then the application object, then
// the menu bar. The next accessor call makes a new instance: a test, or a
// tool that builds one test page after another, calls this between them.
void DestroyAllInstances();

namespace instances {
// The owner's records, by type; used by the templates below. An object stored
// under a type's key was made as that type.
Window* FindWindow(std::type_index type);
void AddWindow(std::type_index type, std::unique_ptr<Window> window);
void RemoveWindow(std::type_index type);
MenuBar* FindMenuBar(std::type_index type);
MenuBar& AddMenuBar(std::type_index type, std::unique_ptr<MenuBar> bar);
// The application object (see Runtime.h: RuntimeRegisterAppObject, AppObject).
void SetApplication(std::unique_ptr<Application> app);
Application* FindApplication();
}  // namespace instances

// Whether the single instance of T exists.
template <class T>
bool IsLive() {
    if constexpr (std::is_base_of_v<MenuBar, T>) return instances::FindMenuBar(typeid(T)) != nullptr;
    else return instances::FindWindow(typeid(T)) != nullptr;
}

// The single instance of T, a window or a menu bar class. A window is made
// from its design (Layout, controls, menu handlers, the Open event, shown when
// its design says so); when that fails, no instance is kept and the error
// goes on to the caller. A menu bar is built whole by its constructor.
template <class T>
T& Instance() {
    if constexpr (std::is_base_of_v<MenuBar, T>) {
        if (MenuBar* bar = instances::FindMenuBar(typeid(T))) return static_cast<T&>(*bar);
        return static_cast<T&>(instances::AddMenuBar(typeid(T), std::make_unique<T>()));
    } else {
        static_assert(std::is_base_of_v<Window, T>, "an instance is a window or a menu bar");
        if (Window* window = instances::FindWindow(typeid(T))) return static_cast<T&>(*window);
        auto owned = std::make_unique<T>();
        T& window = *owned;
        instances::AddWindow(typeid(T), std::move(owned));
        try {
            window.construct();
        } catch (...) {
            instances::RemoveWindow(typeid(T));
            throw;
        }
        return window;
    }
}

}  // namespace fw
