// Builds the tests that the browser suite takes as a student would: for each
// scenario of a JSON description it plays the teacher in the main window
// (preference files, delivery mode, title, problem after problem, "Done") and
// leaves Title.html and Title.js in <outdir>/<scenario>.
//
//   browser_scenarios <scenarios.json> <outdir>
//   browser_scenarios --include-lines <titles.json> <lines.json>
//
// The description is an array of objects:
//   { "name": "cgi", "title": "Kinematics",
//     "pref": "first line of pref.txt", "prefe": "first line of prefe.txt",
//     "click": "mailto" | "cgi",           (a radio button clicked by the teacher)
//     "address": "typed over the editor's selected placeholder, then DONE",
//     "problems": [ { "statement": "...", "x": ["min", "max", "dec"], "y": [...], "z": [...],
//                     "solution": "[x]/[y]", "margin": "2", "decimals": "1" } ] }
// Every message box, a refused "Submit Problem" or a "Done" that does not quit
// with status 0 fails the run with a message naming the scenario.
//
// With --include-lines it reads a JSON array of titles and writes, as a JSON
// array in the same order, the line by which the page of each title includes
// its answer file.
#include "app/Startup.h"
#include "builder/ReportTexts.h"
#include "builder/mainWindow.h"
#include "framework/Files.h"
#include "framework/Globals.h"
#include "framework/Instances.h"
#include "support/Entry.h"
#include "templates/WindowF.h"
#include "templates/WindowF2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Recorder {
    std::vector<QString> messages;
    std::vector<int> quits;
};

[[noreturn]] void fail(const QString& scenario, const QString& what) {
    throw std::runtime_error(("scenario \"" + scenario + "\": " + what).toStdString());
}

void writeFile(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) fail(path, "cannot write: " + file.errorString());
    file.write(text.toUtf8());
}

// The problem's margin and decimals, chosen in their lists.
void selectRows(const QString& scenario, const QJsonObject& problem, const class mainWindow& w) {
    try {
        selectRow(w.errorbox(), problem.value(QLatin1String("margin")).toString());
        selectRow(w.decBox(), problem.value(QLatin1String("decimals")).toString());
    } catch (const std::runtime_error& e) {
        fail(scenario, QString::fromUtf8(e.what()));
    }
}

// Types over the editor's selection, as the teacher replaces the highlighted
// placeholder, then presses "DONE".
template <class Editor>
void typeOverSelection(const QString& scenario, Editor& editor, const QString& typed) {
    fw::TextArea& area = editor.EditField1();
    if (area.SelLength() == 0) fail(scenario, "the editor has no selected placeholder");
    QString text = area.Text();
    text.replace(area.SelStart(), area.SelLength(), typed);
    area.SetText(text);
    editor.PushButton1().Push();
    if (editor.Visible()) fail(scenario, "DONE left the editor open");
}

// The problem's "x", "y" and "z" ranges into the variables' fields.
void setVariables(const QJsonObject& problem, const class mainWindow& w) {
    const char* const keys[mainWindow::kVariableCount] = {"x", "y", "z"};
    for (int v = 0; v < mainWindow::kVariableCount; ++v) {
        const QJsonArray range = problem.value(QLatin1String(keys[v])).toArray();
        const auto fields = w.variableFields(v);
        fields.min.SetText(range.size() > 0 ? range.at(0).toString() : QString());
        fields.max.SetText(range.size() > 1 ? range.at(1).toString() : QString());
        fields.dec.SetText(range.size() > 2 ? range.at(2).toString() : QString());
    }
}

void checkNoMessage(const QString& scenario, const Recorder& rec, const QString& step) {
    if (!rec.messages.empty()) fail(scenario, step + " showed the message \"" + rec.messages.front() + "\"");
}

void buildScenario(const QJsonObject& s, const QString& outdir, Recorder& rec) {
    const QString name = s.value(QLatin1String("name")).toString();
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) fail(name, "needs a plain name");
    // The program saves only into a folder named by its full path.
    const QString folder = QDir(outdir).absoluteFilePath(name);
    if (!QDir().mkpath(folder)) fail(name, "cannot make " + folder);
    fw::SetApplicationFolder(QFile::encodeName(folder));
    rec = Recorder{};

    if (s.contains(QLatin1String("pref")))
        writeFile(QDir(folder).filePath("pref.txt"), s.value(QLatin1String("pref")).toString() + "\n");
    if (s.contains(QLatin1String("prefe")))
        writeFile(QDir(folder).filePath("prefe.txt"), s.value(QLatin1String("prefe")).toString() + "\n");

    NewAppInstance();
    class mainWindow& w = mainWindow();
    checkNoMessage(name, rec, "start-up");

    const QString click = s.value(QLatin1String("click")).toString();
    const QString address = s.value(QLatin1String("address")).toString();
    if (click == QLatin1String("mailto")) {
        w.RadioButton1().Click();
        if (!w.RadioButton1().Value()) fail(name, "\"Use mailto:\" is not selected after its click");
        if (!address.isEmpty()) typeOverSelection(name, WindowF2(), address);
    } else if (click == QLatin1String("cgi")) {
        w.RadioButton2().Click();
        if (!w.RadioButton2().Value()) fail(name, "\"Use CGI\" is not selected after its click");
        if (!address.isEmpty()) typeOverSelection(name, WindowF(), address);
    } else if (!click.isEmpty()) {
        fail(name, "unknown click \"" + click + "\"");
    }

    w.EditField5().SetText(s.value(QLatin1String("title")).toString());

    const QJsonArray problems = s.value(QLatin1String("problems")).toArray();
    for (qsizetype i = 0; i < problems.size(); ++i) {
        const QJsonObject p = problems.at(i).toObject();
        const QString number = w.numField6().Text();
        w.probField().SetText(p.value(QLatin1String("statement")).toString());
        setVariables(p, w);
        w.solField().SetText(p.value(QLatin1String("solution")).toString());
        selectRows(name, p, w);
        w.nextButton1().Push();
        const QString step = "Submit Problem " + number;
        checkNoMessage(name, rec, step);
        if (!w.probField().Text().isEmpty() || w.numField6().Text() == number) fail(name, step + " was not accepted");
    }

    w.PushButton1().Push();
    checkNoMessage(name, rec, "Done");
    if (rec.quits.size() != 1 || rec.quits.front() != 0) fail(name, "Done did not quit with status 0");
    const QString title = w.EditField5().Text();
    for (const QString& file : {title + ".html", title + ".js"})
        if (!QFile::exists(QDir(folder).filePath(file))) fail(name, "Done did not write " + file);

    fw::DestroyAllInstances();
    fw::SetApplicationFolder(QByteArray());
    std::printf("built %s\n", qPrintable(name));
}

QJsonDocument readJson(const char* path) {
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error(std::string("cannot read ") + path);
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (!doc.isArray())
        throw std::runtime_error(std::string(path) + ": not a JSON array: " + error.errorString().toStdString());
    return doc;
}

void writeIncludeLines(const char* titlesPath, const char* linesPath) {
    QJsonArray lines;
    for (const QJsonValue& title : readJson(titlesPath).array()) lines.append(ScriptIncludeLine(title.toString()));
    QFile out(QString::fromLocal8Bit(linesPath));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(QJsonDocument(lines).toJson(QJsonDocument::Compact)) < 0)
        throw std::runtime_error(std::string("cannot write ") + linesPath);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "--include-lines") {
        try {
            writeIncludeLines(argv[2], argv[3]);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        return 0;
    }
    // A tool of the test suite: it drives the real widgets without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: %s <scenarios.json> <outdir>\n"
                     "       %s --include-lines <titles.json> <lines.json>\n",
                     argv[0], argv[0]);
        return 2;
    }
    QJsonDocument doc;
    try {
        doc = readJson(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }

    Recorder rec;
    fw::SetMsgBoxHandler([&rec](const QString& text) {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
        rec.messages.push_back(text);
    });
    fw::SetQuitHandler([&rec](int code) { rec.quits.push_back(code); });
    fw::SetShowURLHandler(
        [](const QString& address) { std::fprintf(stderr, "unexpected ShowURL: %s\n", qPrintable(address)); });

    int status = 0;
    try {
        for (const QJsonValue& scenario : doc.array())
            buildScenario(scenario.toObject(), QString::fromLocal8Bit(argv[2]), rec);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    fw::SetMsgBoxHandler(nullptr);
    fw::SetQuitHandler(nullptr);
    fw::SetShowURLHandler(nullptr);
    return status;
}
