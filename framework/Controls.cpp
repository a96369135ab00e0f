#include "framework/Controls.h"

#include "framework/Runtime.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <climits>
#include <utility>

namespace fw {

Control::Control(Kind kind, QString name, QWidget* widget) : kind_(kind), name_(std::move(name)), widget_(widget) {}
Control::~Control() = default;

// ---- TextArea ---------------------------------------------------------------

namespace {

// The widget's view of a held text: every carriage return and line feed is
// one paragraph break, so positions in the widget equal positions in the text.
QString displayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

// How the widget's document holds a character of a held text: each line
// break is a paragraph separator, every other character is itself.
QChar shownChar(QChar c) {
    switch (c.unicode()) {
    case u'\r':
    case u'\n':
    case 0xFDD0:  // frame marks, which a plain text insertion turns into breaks
    case 0xFDD1: return QChar::ParagraphSeparator;
    default: return c;
    }
}

// A selection's start and end within a text of that size.
std::pair<int, int> cutToText(int start, int length, qsizetype size) {
    const qsizetype from = std::clamp<qsizetype>(start, 0, size);
    const qsizetype to = std::clamp<qsizetype>(qsizetype(start) + length, from, size);
    return {int(from), int(to)};
}

// Events on which the widget shows its text or acts on it: its paint, and the
// user's focus, keys, input method, mouse, wheel and drags.
bool needsShownText(QEvent::Type type) {
    switch (type) {
    case QEvent::Paint:
    case QEvent::FocusIn:
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod:
    case QEvent::InputMethodQuery:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: return true;
    default: return false;
    }
}

}  // namespace

// Puts the held text into the widget just before the widget needs it. It
// watches the frame, which paints before the viewport and the scroll bar do,
// and the viewport, which takes the mouse and may repaint on its own.
class TextAreaWatcher : public QObject {
public:
    explicit TextAreaWatcher(TextArea* area) : QObject(area->edit_), area_(area) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (!area_->shown_ && needsShownText(event->type())) area_->showText();
        return false;
    }

private:
    TextArea* area_;
};

TextArea::TextArea(QString name, QPlainTextEdit* widget)
    : TextControl(Kind::TextArea, std::move(name), widget), edit_(widget) {
    auto* watcher = new TextAreaWatcher(this);
    edit_->installEventFilter(watcher);
    edit_->viewport()->installEventFilter(watcher);
    QObject::connect(edit_->document(), &QTextDocument::contentsChange, edit_,
                     [this](int position, int removed, int added) {
                         if (!settingText_ && shown_) takeUserEdit(position, removed, added);
                     });
}

QString TextArea::Text() const { return text_; }

void TextArea::SetText(const QString& text) {
    readSelection();
    text_ = text;
    cutSelectionToText();
    showWhenNeeded();
}

void TextArea::Append(const QString& text) {
    if (text.isEmpty()) return;
    readSelection();
    const qsizetype end = text_.size();
    text_ += text;
    cutSelectionToText();
    if (!shown_ || end == 0 || !edit_->isVisible()) {
        showWhenNeeded();
        return;
    }
    // As a whole new text would be, the addition is not one the user can undo.
    QTextDocument* doc = edit_->document();
    const bool undoable = doc->isUndoRedoEnabled();
    settingText_ = true;
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(displayText(text));
    doc->setUndoRedoEnabled(undoable);
    settingText_ = false;
    applySelection();
}

// A length set before its start may reach past the end; a new text ends that.
void TextArea::cutSelectionToText() {
    selStart_ = std::min<int>(selStart_, int(text_.size()));
    selLength_ = std::min<int>(selLength_, int(text_.size()) - selStart_);
}

// Marked shown first: setting the widget's text sends it events (input
// method queries) that would show it again.
void TextArea::showText() {
    shown_ = true;
    settingText_ = true;
    edit_->setPlainText(displayText(text_));
    settingText_ = false;
    applySelection();
}

// The focused widget takes the text at once: the Edit menu's commands act on
// it without sending it an event first.
void TextArea::showWhenNeeded() {
    if (edit_->hasFocus()) {
        showText();
        return;
    }
    shown_ = false;
    if (edit_->isVisible()) edit_->update();
}

// The document reports which range it replaced, sometimes a wider one than the
// edit touched (up to the whole text, or past its end). Outside that range
// the held text is still right; inside it, the characters that match the held
// ones at either end are kept as held, so a line feed the user did not touch
// stays a line feed. Only the rest is taken from the document, as it stands
// there: no-break spaces, tabs and the like unchanged, line breaks as carriage
// returns.
void TextArea::takeUserEdit(int position, int removed, int added) {
    QTextDocument* doc = edit_->document();
    const qsizetype oldSize = text_.size();
    const qsizetype newSize = doc->characterCount() - 1;  // less the document's closing break
    const qsizetype from = std::clamp<qsizetype>(position, 0, std::min(oldSize, newSize));
    qsizetype oldEnd = std::clamp<qsizetype>(qsizetype(position) + removed, from, oldSize);
    qsizetype newEnd = std::clamp<qsizetype>(qsizetype(position) + added, from, newSize);
    if (oldEnd - newEnd != oldSize - newSize) {
        // A range that does not add up: take everything from its start on.
        oldEnd = oldSize;
        newEnd = newSize;
    }
    QTextCursor range(doc);
    range.setPosition(int(from));
    range.setPosition(int(newEnd), QTextCursor::KeepAnchor);
    const QString now = range.selectedText();  // raw: U+2029 for breaks, U+00A0 kept

    const qsizetype limit = std::min(now.size(), oldEnd - from);
    qsizetype prefix = 0;
    while (prefix < limit && now[prefix] == shownChar(text_[from + prefix])) ++prefix;
    qsizetype suffix = 0;
    while (suffix < limit - prefix && now[now.size() - 1 - suffix] == shownChar(text_[oldEnd - 1 - suffix])) ++suffix;

    QString inserted = now.mid(prefix, now.size() - prefix - suffix);
    for (QChar& c : inserted) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = QLatin1Char('\r');
    }
    text_.replace(from + prefix, oldEnd - from - prefix - suffix, inserted);
}

// The held selection stands while the widget shows it, cut to the text's end
// (a length set before its start may reach past the end for a moment); a
// selection the user has moved replaces it.
void TextArea::readSelection() const {
    if (!shown_) return;
    const QTextCursor cursor = edit_->textCursor();
    const auto [start, end] = cutToText(selStart_, selLength_, text_.size());
    if (cursor.selectionStart() == start && cursor.selectionEnd() == end) return;
    selStart_ = cursor.selectionStart();
    selLength_ = cursor.selectionEnd() - cursor.selectionStart();
}

void TextArea::applySelection() {
    if (!shown_) return;
    const auto [start, end] = cutToText(selStart_, selLength_, text_.size());
    QTextCursor cursor(edit_->document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    edit_->setTextCursor(cursor);
}

int TextArea::SelStart() const {
    readSelection();
    return selStart_;
}

int TextArea::SelLength() const {
    readSelection();
    return selLength_;
}

void TextArea::SetSelStart(int start) {
    readSelection();
    selStart_ = std::clamp(start, 0, int(text_.size()));
    selLength_ = std::clamp(selLength_, 0, int(text_.size()) - selStart_);
    applySelection();
}

void TextArea::SetSelLength(int length) {
    readSelection();
    selLength_ = std::max(0, length);
    applySelection();
}

QString TextArea::SelText() const {
    readSelection();
    return text_.mid(selStart_, selLength_);
}

// ---- TextField, StaticText -------------------------------------------------------

TextField::TextField(QString name, QLineEdit* widget)
    : TextControl(Kind::TextField, std::move(name), widget), edit_(widget) {
    edit_->setMaxLength(INT_MAX / 2);
    QObject::connect(edit_, &QLineEdit::textEdited, edit_, [this](const QString& typed) { text_ = typed; });
}

void TextField::SetText(const QString& text) {
    text_ = text;
    edit_->setText(text);
}

StaticText::StaticText(QString name, QLabel* widget)
    : TextControl(Kind::StaticText, std::move(name), widget), label_(widget) {}

void StaticText::SetText(const QString& text) {
    text_ = text;
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    label_->setText(shown);
}

namespace {

class MouseDownFilter : public QObject {
public:
    MouseDownFilter(QObject* parent, MouseDownHandler handler) : QObject(parent), handler_(std::move(handler)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress) return false;
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        bool handled = false;
        RunHandler([&] { handled = handler_(at.x(), at.y()); });
        return handled;
    }

private:
    MouseDownHandler handler_;
};

}  // namespace

void SetMouseDown(StaticText& label, MouseDownHandler handler) {
    label.widget()->setCursor(Qt::PointingHandCursor);
    label.widget()->installEventFilter(new MouseDownFilter(label.widget(), std::move(handler)));
}

// ---- Listbox ----------------------------------------------------------------------

Listbox::Listbox(QString name, QListWidget* widget, const QString& rows)
    : Control(Kind::Listbox, std::move(name), widget), list_(widget) {
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Each carriage return ends a row; empty rows are not shown.
    for (const QString& row : rows.split(QLatin1Char('\r'))) {
        if (!row.isEmpty()) list_->addItem(row);
    }
}

QString Listbox::Text() const {
    const int row = ListIndex();
    return row < 0 ? QString() : list_->item(row)->text();
}

int Listbox::ListCount() const { return list_->count(); }
QString Listbox::List(int row) const { return list_->item(row)->text(); }

int Listbox::ListIndex() const {
    const auto selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void Listbox::SetListIndex(int row) {
    if (row < 0 || row >= list_->count()) {
        list_->clearSelection();
        return;
    }
    list_->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

// ---- Buttons ----------------------------------------------------------------------

RadioButton::RadioButton(QString name, QRadioButton* widget)
    : Control(Kind::RadioButton, std::move(name), widget), button_(widget) {
    QObject::connect(button_, &QRadioButton::clicked, button_, [this] {
        if (action_) RunHandler(action_);
    });
}

bool RadioButton::Value() const { return button_->isChecked(); }

void RadioButton::SetValue(bool value) {
    if (value) {
        button_->setChecked(true);
        return;
    }
    // An exclusive button cannot be cleared by itself.
    button_->setAutoExclusive(false);
    button_->setChecked(false);
    button_->setAutoExclusive(true);
}

QString RadioButton::Caption() const { return button_->text(); }
void RadioButton::Click() { button_->click(); }
void RadioButton::SetAction(std::function<void()> action) { action_ = std::move(action); }

PushButton::PushButton(QString name, QPushButton* widget)
    : Control(Kind::PushButton, std::move(name), widget), button_(widget) {
    button_->setAutoDefault(false);
    QObject::connect(button_, &QPushButton::clicked, button_, [this] {
        if (action_) RunHandler(action_);
    });
}

QString PushButton::Caption() const { return button_->text(); }
void PushButton::Push() { button_->click(); }
void PushButton::SetAction(std::function<void()> action) { action_ = std::move(action); }

}  // namespace fw
