// The program's life from start to exit, in the order it runs.
#pragma once

// Registers every class with the framework.
void RegisterClasses();
// The start-up callback: application object, menu bar, the main window.
void Startup();
// Runs the initialisation with the start-up callback, then the event loop;
// an exception that escapes either is reported and ends the run.
void Main(void (*startup)() = Startup);
void InitFileTypes();
// The application object with the Menu instance as its menu bar, registered
// with the framework. The main window shows the application's menu bar, so
// whatever opens the main window (start-up, a test) calls this first.
void NewAppInstance();
void ApplicationAddMenuHandlers();
void MakeDefaultView();
// Releases the module globals: the windows, the application object, and the
// menu bar last.
void ReleaseModuleGlobals();
// The whole life of the program; returns the process exit status.
int RunProgram();
