#include "framework/Runtime.h"

#include "framework/Globals.h"
#include "framework/Instances.h"

#include <QApplication>
#include <cstdio>
#include <utility>

namespace fw {
namespace {

struct RuntimeState {
    std::unique_ptr<QApplication> qtApp;  // ours, when the runtime started it
    std::vector<QString> classes;
    ExceptionHandler exceptionHandler;
    bool failed = false;
    int loopStatus = 0;
};

RuntimeState& state() {
    static RuntimeState s;
    return s;
}

// Qt keeps references to argc and argv for the application's life.
int gArgc = 1;
char gProgramName[] = "quillory3";
char* gArgv[] = {gProgramName, nullptr};

}  // namespace

Application::~Application() = default;

void RuntimeInit() {
    if (QCoreApplication::instance() == nullptr) {
        state().qtApp = std::make_unique<QApplication>(gArgc, gArgv);
    }
    QApplication::setApplicationDisplayName(QStringLiteral("quillory3"));
    // Windows close by hiding; the program ends through Quit alone.
    QApplication::setQuitOnLastWindowClosed(false);
    state().failed = false;
    state().loopStatus = 0;
}

void RegisterClass(const QString& name) { state().classes.push_back(name); }
const std::vector<QString>& RegisteredClasses() { return state().classes; }

void RunFrameworkInitialization(const std::function<void()>& startup) { startup(); }

void RuntimeInitExternalClasses() {}

void InitPluginEntrypoints() {
    // The regular-expression engine is linked in; there is nothing to look up.
}

void RuntimeRegisterAppObject(std::unique_ptr<Application> app) { instances::SetApplication(std::move(app)); }
Application* AppObject() { return instances::FindApplication(); }

void RuntimeRun() {
    if (state().failed) return;
    state().loopStatus = QApplication::exec();
}

ExceptionHandler SetUnhandledExceptionHandler(ExceptionHandler handler) {
    return std::exchange(state().exceptionHandler, std::move(handler));
}

void UnhandledException(const QString& what) {
    state().failed = true;
    const QString text = QStringLiteral("quillory3 stopped because of an unexpected error:\n%1").arg(what);
    if (state().exceptionHandler) {
        state().exceptionHandler(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    MsgBox(text);
}

void UnhandledException(const std::exception& error) { UnhandledException(QString::fromLocal8Bit(error.what())); }

void RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        UnhandledException(error);
        QCoreApplication::exit(1);
    } catch (...) {
        UnhandledException(QStringLiteral("unknown exception"));
        QCoreApplication::exit(1);
    }
}

int RuntimeExit() {
    const int status = state().failed ? 1 : state().loopStatus;
    state().classes.clear();
    state().qtApp.reset();
    return status;
}

}  // namespace fw
