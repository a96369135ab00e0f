// The floor for start-up: the plainest Qt 6 Widgets window that looks like
// quillory3 from outside. A menu bar with the same menus and items, and an
// empty 690 x 560 content area. Nothing else: no controls, no fonts, no styles.
// The start-up runner times it side by side with the program and ends it
// with SIGTERM, as it does the program; "Quit" also ends it.
#include <QApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("quillory3"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("quillory3"));

    QMenuBar* bar = window.menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("File"));
    QAction* quit = file->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    QObject::connect(quit, &QAction::triggered, &app, &QApplication::quit);

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    edit->addAction(QStringLiteral("Undo"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    edit->addSeparator();
    edit->addAction(QStringLiteral("Cut"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+X")));
    edit->addAction(QStringLiteral("Copy"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
    edit->addAction(QStringLiteral("Paste"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+V")));
    edit->addAction(QStringLiteral("Clear"));

    bar->addMenu(QString());  // the untitled menu

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    help->addAction(QStringLiteral("Help"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    help->addAction(QStringLiteral("About Qlry3"));

    auto* content = new QWidget;
    content->setFixedSize(690, 560);
    window.setCentralWidget(content);

    // Shown and activated as the program shows its main window.
    window.show();
    window.raise();
    window.activateWindow();
    return QApplication::exec();
}
