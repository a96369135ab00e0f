// The benchmark program: the program's real windows, headless.
#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

QtMessageHandler qtHandler = nullptr;

// The offscreen platform says, for every window shown, that it cannot do what
// only a real screen does ("This plugin does not support raise()"); between
// the results those lines are noise. Every other message goes through.
void QuietOffscreenNotices(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1StringView("This plugin does not support "))) return;
    qtHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qtHandler = qInstallMessageHandler(QuietOffscreenNotices);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
