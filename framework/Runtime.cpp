#include "framework/Runtime.h"

#include "framework/Globals.h"
#include "framework/Instances.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
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
    bool initializing = false;
    std::vector<std::function<void()>> afterFirstFrame;  // waiting for the first frame
    QPointer<QObject> firstFrameWatcher;
};

RuntimeState& state() {
    static RuntimeState s;
    return s;
}

// Qt keeps references to argc and argv for the application's life.
int gArgc = 1;
char gProgramName[] = "quillory3";
char* gArgv[] = {gProgramName, nullptr};

// Sees the first frame being drawn: the first paint of a window. The work that
// waits for it is posted, so it runs once that frame is on screen, and runs
// through RunHandler, which reports what it throws.
class FirstFrameWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
            qApp->removeEventFilter(this);
            deleteLater();
            QMetaObject::invokeMethod(
                qApp, [] { RunHandler([] {}); }, Qt::QueuedConnection);
        }
        return false;
    }
};

void runWorkAfterFirstFrame() {
    delete state().firstFrameWatcher;  // nothing left for it to wait for
    std::vector<std::function<void()>> steps = std::exchange(state().afterFirstFrame, {});
    for (const auto& step : steps) step();
}

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
    state().afterFirstFrame.clear();
    delete state().firstFrameWatcher;
}

void RegisterClass(const QString& name) { state().classes.push_back(name); }
const std::vector<QString>& RegisteredClasses() { return state().classes; }

void RunFrameworkInitialization(const std::function<void()>& startup) {
    state().initializing = true;
    try {
        startup();
    } catch (...) {
        state().initializing = false;
        state().afterFirstFrame.clear();  // the event loop will not run
        throw;
    }
    state().initializing = false;
    if (!state().afterFirstFrame.empty()) {
        state().firstFrameWatcher = new FirstFrameWatcher(qApp);
        qApp->installEventFilter(state().firstFrameWatcher);
    }
}

void AfterFirstFrame(std::function<void()> step) {
    if (state().initializing) state().afterFirstFrame.push_back(std::move(step));
    else step();
}

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
        if (!state().initializing) runWorkAfterFirstFrame();
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
    state().afterFirstFrame.clear();
    state().qtApp.reset();
    return status;
}

}  // namespace fw
