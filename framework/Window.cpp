#include "framework/Window.h"

#include "framework/Globals.h"
#include "framework/Instances.h"
#include "framework/Runtime.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <typeinfo>

namespace fw {

// The top-level widget of a window. Its close box hides the window (its
// controls and texts stay) or, for a window so designed, quits.
class WindowWidget : public QMainWindow {
public:
    explicit WindowWidget(Window& owner) : owner_(owner) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (owner_.design().closeQuits) RunHandler([] { Quit(0); });
        else hide();
    }

private:
    Window& owner_;
};

namespace {

QColor designColor(int rgb) { return QColor::fromRgb(QRgb(rgb)); }

// The designs ask for Geneva. Where it is not installed, Qt would have the
// system sort all its fonts to find a sans-serif stand-in. The platform's
// default sans-serif family, which the application's own font resolves to
// anyway, stands in for it: found once, then asked for by name.
const QString& designFamily() {
    static const QString family = [] {
        const QString geneva = QStringLiteral("Geneva");
        const bool installed = !QFontDatabase::styles(geneva).isEmpty();
        return installed ? geneva : QFontInfo(QGuiApplication::font()).family();
    }();
    return family;
}

QFont designFont(const ControlDesign& d) {
    QFont font(designFamily());
    font.setStyleHint(QFont::SansSerif);
    if (d.textSize > 0) font.setPixelSize(d.textSize);
    font.setBold(d.style & Bold);
    font.setItalic(d.style & Italic);
    font.setUnderline(d.style & Underline);
    return font;
}

// Gives the widget's role that colour in every state.
void setColor(QWidget* w, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = w->palette();
    palette.setColor(role, color);
    w->setPalette(palette);
}

// A framed rectangle: a one-pixel border in the text colour around the fill,
// or around nothing when it has no fill. It paints itself, so the controls
// inside it keep their own colours.
class RectangleFrame : public QFrame {
public:
    RectangleFrame(QWidget* parent, const QColor& border, const QColor& fill)
        : QFrame(parent), border_(border), fill_(fill) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (fill_.isValid()) painter.fillRect(rect(), fill_);
        painter.setPen(QPen(border_, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    QColor border_, fill_;
};

Qt::Alignment designAlignment(const ControlDesign& d) {
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (d.style & AlignCenter) horizontal = Qt::AlignHCenter;
    if (d.style & AlignRight) horizontal = Qt::AlignRight;
    return horizontal | Qt::AlignTop;
}

// The standard editing commands act on the focused text control.
enum class EditCommand { None, Undo, Cut, Copy, Paste, Clear };

EditCommand editCommand(const QString& itemName) {
    if (itemName == QLatin1String("EditUndo")) return EditCommand::Undo;
    if (itemName == QLatin1String("EditCut")) return EditCommand::Cut;
    if (itemName == QLatin1String("EditCopy")) return EditCommand::Copy;
    if (itemName == QLatin1String("EditPaste")) return EditCommand::Paste;
    if (itemName == QLatin1String("EditClear")) return EditCommand::Clear;
    return EditCommand::None;
}

// Whether the command can act on the focused control; pasteable tells whether
// the clipboard holds text.
bool canEdit(EditCommand command, bool pasteable) {
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        switch (command) {
        case EditCommand::Undo: return line->isUndoAvailable();
        case EditCommand::Cut:
        case EditCommand::Clear: return line->hasSelectedText() && !line->isReadOnly();
        case EditCommand::Copy: return line->hasSelectedText();
        case EditCommand::Paste: return pasteable && !line->isReadOnly();
        case EditCommand::None: return false;
        }
    }
    if (auto* text = qobject_cast<QPlainTextEdit*>(focus)) {
        const bool selected = text->textCursor().hasSelection();
        switch (command) {
        case EditCommand::Undo: return text->document()->isUndoAvailable();
        case EditCommand::Cut:
        case EditCommand::Clear: return selected && !text->isReadOnly();
        case EditCommand::Copy: return selected;
        case EditCommand::Paste: return pasteable && !text->isReadOnly();
        case EditCommand::None: return false;
        }
    }
    return false;
}

void runEdit(EditCommand command) {
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        switch (command) {
        case EditCommand::Undo: line->undo(); break;
        case EditCommand::Cut: line->cut(); break;
        case EditCommand::Copy: line->copy(); break;
        case EditCommand::Paste: line->paste(); break;
        case EditCommand::Clear: line->del(); break;
        case EditCommand::None: break;
        }
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(focus)) {
        switch (command) {
        case EditCommand::Undo: text->undo(); break;
        case EditCommand::Cut: text->cut(); break;
        case EditCommand::Copy: text->copy(); break;
        case EditCommand::Paste: text->paste(); break;
        case EditCommand::Clear: text->textCursor().removeSelectedText(); break;
        case EditCommand::None: break;
        }
    }
}

void forEachItem(MenuItem& menu, const std::function<void(MenuItem&)>& visit) {
    for (int i = 0; i < menu.Count(); ++i) {
        visit(menu.Item(i));
        forEachItem(menu.Item(i), visit);
    }
}

QKeySequence shortcutKeys(const QString& shortcut) {
    QString keys = shortcut;
    keys.replace(QLatin1String("Cmd+"), QLatin1String("Ctrl+"));
    return QKeySequence(keys);
}

}  // namespace

Window::Window(WindowDesign design, std::vector<ControlDesign> controls)
    : design_(std::move(design)), controlDesigns_(std::move(controls)), widget_(std::make_unique<WindowWidget>(*this)) {
    auto* content = new QWidget;
    widget_->setCentralWidget(content);
}

Window::~Window() {
    widget_.reset();  // the widgets go first: the controls only point at them
}

QWidget* Window::widget() const { return widget_.get(); }

void Window::construct() {
    className_ = ClassName(typeid(*this));
    Layout();
    CreateControls();
    AddMenuHandlers();
    Event_Open();
    if (design_.visible) Show();
    // The menus are closed, so their items need only be right for the
    // shortcuts, which takes no reading of the clipboard.
    refreshMenus(Clipboard::Remembered);
}

void Window::Layout() {
    widget_->setWindowTitle(design_.title);
    QWidget* content = widget_->centralWidget();
    if (design_.resizeable) {
        content->setMinimumSize(64, 64);
        const int bar = menuBar_ ? widget_->menuBar()->sizeHint().height() : 0;
        widget_->resize(design_.width, design_.height + bar);
    } else {
        content->setFixedSize(design_.width, design_.height);
    }
    if (design_.backColor != kNoColor) {
        content->setAutoFillBackground(true);
        setColor(content, QPalette::Window, designColor(design_.backColor));
    }
    widget_->setWindowFlag(Qt::WindowMinimizeButtonHint, design_.minimizeButton);
    widget_->setWindowFlag(Qt::WindowMaximizeButtonHint, design_.maximizeButton && design_.resizeable);
}

void Window::CreateControls() {
    for (const ControlDesign& d : controlDesigns_) CreateControl(d);
}

Control& Window::CreateControl(const ControlDesign& d) {
    QWidget* parent = widget_->centralWidget();
    QPoint origin(0, 0);
    if (!d.parent.isEmpty()) {
        const Control& enclosing = control<Shape>(d.parent);
        parent = enclosing.widget();
        origin = enclosing.widget()->pos();
    }
    std::unique_ptr<Control> made;
    const QColor color = designColor(d.textColor);
    switch (d.kind) {
    case Kind::TextArea: {
        auto* edit = new QPlainTextEdit(parent);
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setTabChangesFocus(true);
        auto area = std::make_unique<TextArea>(d.name, edit);
        area->SetText(d.text);
        made = std::move(area);
        break;
    }
    case Kind::TextField: {
        auto* edit = new QLineEdit(parent);
        auto field = std::make_unique<TextField>(d.name, edit);
        field->SetText(d.text);
        made = std::move(field);
        break;
    }
    case Kind::StaticText: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(d.style & Multiline);
        label->setAlignment(designAlignment(d));
        setColor(label, QPalette::WindowText, color);
        auto text = std::make_unique<StaticText>(d.name, label);
        text->SetText(d.text);
        made = std::move(text);
        break;
    }
    case Kind::Listbox: {
        auto* list = new QListWidget(parent);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        made = std::make_unique<Listbox>(d.name, list, d.text);
        break;
    }
    case Kind::RadioButton: made = std::make_unique<RadioButton>(d.name, new QRadioButton(d.text, parent)); break;
    case Kind::PushButton: made = std::make_unique<PushButton>(d.name, new QPushButton(d.text, parent)); break;
    case Kind::Separator: {
        auto* rule = new QFrame(parent);
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Sunken);
        made = std::make_unique<Shape>(Kind::Separator, d.name, rule);
        break;
    }
    case Kind::Line: {
        auto* line = new QFrame(parent);
        line->setAutoFillBackground(true);
        setColor(line, QPalette::Window, color);
        made = std::make_unique<Shape>(Kind::Line, d.name, line);
        break;
    }
    case Kind::Rectangle: {
        const QColor fill = d.fillColor == kNoColor ? QColor() : designColor(d.fillColor);
        made = std::make_unique<Shape>(Kind::Rectangle, d.name, new RectangleFrame(parent, color, fill));
        break;
    }
    }
    QWidget* w = made->widget();
    w->setObjectName(d.name);
    if (d.textSize > 0) w->setFont(designFont(d));
    // A line runs between two points; give a zero width or height one pixel.
    w->setGeometry(d.left - origin.x(), d.top - origin.y(), std::max(d.width, 1), std::max(d.height, 1));
    if (d.fillColor != kNoColor && d.kind != Kind::Rectangle) {
        w->setAutoFillBackground(true);
        setColor(w, QPalette::Base, designColor(d.fillColor));
    }
    if (d.kind == Kind::Separator || d.kind == Kind::Line || d.kind == Kind::Rectangle || d.kind == Kind::StaticText) {
        w->setFocusPolicy(Qt::NoFocus);
    }
    // Keyboard focus follows the order of creation.
    if (w->focusPolicy() != Qt::NoFocus) {
        for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
            QWidget* previous = (*it)->widget();
            if (previous->focusPolicy() != Qt::NoFocus) {
                QWidget::setTabOrder(previous, w);
                break;
            }
        }
    }
    w->show();
    controls_.push_back(std::move(made));
    return *controls_.back();
}

Control* Window::findControl(const QString& name) const {
    for (const auto& c : controls_) {
        if (c->Name() == name) return c.get();
    }
    return nullptr;
}

void Window::BindAction(const QString& controlName, std::function<void()> handler) {
    Control* c = findControl(controlName);
    if (auto* push = dynamic_cast<PushButton*>(c)) push->SetAction(std::move(handler));
    else if (auto* radio = dynamic_cast<RadioButton*>(c)) radio->SetAction(std::move(handler));
    else throw std::logic_error(("no button \"" + controlName + "\" on \"" + className_ + "\"").toStdString());
}

void Window::Show() {
    widget_->show();
    widget_->raise();
    widget_->activateWindow();
}

void Window::Hide() { widget_->hide(); }
bool Window::Visible() const { return widget_->isVisible(); }
QString Window::Title() const { return widget_->windowTitle(); }

void Window::SetMenuBar(MenuBar* bar) {
    menuBar_ = bar;
    buildMenuBar();
}

void Window::buildMenuBar() {
    QMenuBar* bar = widget_->menuBar();
    bar->clear();
    if (!menuBar_) return;
    for (int i = 0; i < menuBar_->Count(); ++i) {
        MenuItem& top = menuBar_->Item(i);
        QMenu* menu = bar->addMenu(top.Text());
        top.bindAction(menu->menuAction());
        QObject::connect(menu, &QMenu::aboutToShow, menu, [this] { refreshMenus(Clipboard::Read); });
        for (int j = 0; j < top.Count(); ++j) {
            MenuItem& item = top.Item(j);
            if (item.IsSeparator()) {
                item.bindAction(menu->addSeparator());
                continue;
            }
            QAction* action = menu->addAction(item.Text());
            action->setShortcut(shortcutKeys(item.KeyboardShortcut()));
            action->setShortcutContext(Qt::WindowShortcut);
            item.bindAction(action);
            QObject::connect(action, &QAction::triggered, action, [this, &item] { dispatch(item); });
        }
    }
    // What the Edit items can act on changes with the focus and the clipboard.
    QObject::connect(qApp, &QApplication::focusChanged, bar, [this] { refreshEditItems(); });
    QObject::connect(QApplication::clipboard(), &QClipboard::dataChanged, bar, [this] {
        clipboardHoldsText_.reset();
        refreshEditItems();
    });
}

void Window::AddMenuHandler(const QString& itemName, std::function<bool()> handler) {
    menuHandlers_[itemName] = std::move(handler);
}

void Window::UpdateMenus() { refreshMenus(Clipboard::Read); }

void Window::refreshMenus(Clipboard clipboard) {
    if (!menuBar_) return;
    if (clipboard == Clipboard::Read) clipboardHoldsText_ = !QApplication::clipboard()->text().isEmpty();
    const bool pasteable = clipboardHoldsText_.value_or(true);
    forEachItem(*menuBar_, [pasteable](MenuItem& item) {
        if (item.Count() > 0 || item.IsSeparator()) return;  // menus stay enabled
        const EditCommand command = editCommand(item.Name());
        item.SetEnabled(command != EditCommand::None ? canEdit(command, pasteable) : item.AutoEnable());
    });
    RunHandler([this] { Event_EnableMenuItems(); });
}

void Window::refreshEditItems() {
    if (!menuBar_) return;
    const bool pasteable = clipboardHoldsText_.value_or(true);
    forEachItem(*menuBar_, [pasteable](MenuItem& item) {
        const EditCommand command = editCommand(item.Name());
        if (command != EditCommand::None) item.SetEnabled(canEdit(command, pasteable));
    });
}

void Window::ChooseMenuItem(const QString& itemName) {
    UpdateMenus();
    MenuItem* item = menuBar_ ? menuBar_->Lookup(itemName) : nullptr;
    if (!item) throw std::logic_error(("no menu item \"" + itemName + "\"").toStdString());
    if (item->Enabled()) dispatch(*item);
}

void Window::dispatch(MenuItem& item) {
    RunHandler([this, &item] {
        const auto handler = menuHandlers_.find(item.Name());
        if (handler != menuHandlers_.end()) {
            handler->second();
            return;
        }
        if (item.OwnAction()) return;
        runEdit(editCommand(item.Name()));
    });
}

}  // namespace fw
