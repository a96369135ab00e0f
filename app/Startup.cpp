#include "app/Startup.h"

#include "app/App.h"
#include "app/Menu.h"
#include "builder/mainWindow.h"
#include "framework/Instances.h"
#include "framework/Runtime.h"

#include <functional>
#include <memory>

int RunProgram() {
    fw::RuntimeInit();
    RegisterClasses();
    Main();
    ReleaseModuleGlobals();
    return fw::RuntimeExit();
}

void RegisterClasses() {
    for (const char* name : {"mainWindow", "Menu", "WindowA", "windowB", "WindowC", "WindowD", "WindowE", "WindowF",
                             "AboutWindow", "HelpWindow", "WindowF2", "WindowE2", "App"}) {
        fw::RegisterClass(QString::fromLatin1(name));
    }
}

void Main(void (*startup)()) {
    try {
        auto callback = std::make_unique<std::function<void()>>(startup);
        fw::RunFrameworkInitialization(*callback);
        callback.reset();
        fw::RuntimeRun();
    } catch (const std::exception& error) {
        fw::UnhandledException(error);
    } catch (...) {
        fw::UnhandledException(QStringLiteral("unknown exception"));
    }
}

void Startup() {
    fw::RuntimeInitExternalClasses();
    fw::InitPluginEntrypoints();
    InitFileTypes();
    NewAppInstance();
    ApplicationAddMenuHandlers();
    MakeDefaultView();
}

void InitFileTypes() {
    // The program opens no documents: there is no file type to register.
}

void NewAppInstance() {
    auto app = std::make_unique<App>();
    app->SetMenuBar(&Menu());
    fw::RuntimeRegisterAppObject(std::move(app));
}

void ApplicationAddMenuHandlers() {
    // The application object handles no menu command; the main window does.
}

void MakeDefaultView() { mainWindow(); }

void ReleaseModuleGlobals() { fw::DestroyAllInstances(); }
