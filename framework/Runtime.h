// The runtime's life: start, class registration, initialisation with a
// start-up callback, the event loop, the report of an exception that nothing
// handled, and the shutdown. Each step is a function so that the program's
// start-up reads in the order it runs.
#pragma once

#include "Menus.h"

#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace fw {

class Application {
public:
    virtual ~Application();
    void SetMenuBar(MenuBar* bar) { menuBar_ = bar; }
    MenuBar* GetMenuBar() const { return menuBar_; }

private:
    MenuBar* menuBar_ = nullptr;
};

// Starts the runtime (the Qt application object). The command line is not
// passed on: the program takes none.
void RuntimeInit();
void RegisterClass(const QString& name);
const std::vector<QString>& RegisteredClasses();
// Runs the initialisation, calling startup as part of it.
void RunFrameworkInitialization(const std::function<void()>& startup);
// Work that the first look of the start-up's windows does not need. Called
// while the initialisation runs, step waits until the event loop has drawn a
// first frame, then runs; a handler that runs before then (RunHandler) finds
// it done, so no handler sees the start-up unfinished. Called at any other
// time, step runs at once. Steps run in the order they were given.
void AfterFirstFrame(std::function<void()> step);
void RuntimeInitExternalClasses();
void InitPluginEntrypoints();
// The application object; the instance owner keeps it (Instances.h).
void RuntimeRegisterAppObject(std::unique_ptr<Application> app);
Application* AppObject();
// Runs the event loop until the application quits.
void RuntimeRun();
// Reports an exception that nothing handled; the run then ends with status 1.
void UnhandledException(const std::exception& error);
void UnhandledException(const QString& what);
using ExceptionHandler = std::function<void(const QString&)>;
ExceptionHandler SetUnhandledExceptionHandler(ExceptionHandler handler);
// Shuts the runtime down and returns the process exit status.
int RuntimeExit();

// Calls a handler of the program's, after any start-up work still waiting for
// the first frame; an exception that escapes either is reported and ends the
// event loop.
void RunHandler(const std::function<void()>& handler);

}  // namespace fw
