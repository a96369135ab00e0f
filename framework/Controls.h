// Controls of a window, found by name and typed by their kind. Each wraps one
// Qt widget; the program's code uses only the operations declared here.
#pragma once

#include "Design.h"

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class QPlainTextEdit;
class QLineEdit;
class QLabel;
class QListWidget;
class QRadioButton;
class QPushButton;

namespace fw {

class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const QString& Name() const { return name_; }
    Kind kind() const { return kind_; }
    QWidget* widget() const { return widget_; }

protected:
    Control(Kind kind, QString name, QWidget* widget);

private:
    Kind kind_;
    QString name_;
    QWidget* widget_;  // owned by the window's widget tree
};

// A control whose text the program reads and sets whole.
class TextControl : public Control {
public:
    virtual QString Text() const = 0;
    virtual void SetText(const QString& text) = 0;

protected:
    using Control::Control;
};

// Multi-line text. Text() is exactly what was last set, character for
// character (carriage returns and line feeds kept apart); what the user types
// or pastes comes in with single carriage returns as line breaks.
// The widget takes the text only when it is about to be painted or to take the
// user's keys, clicks or focus, so a text set or grown while hidden, or just
// before the program quits, costs nothing to lay out.
class TextArea : public TextControl {
public:
    TextArea(QString name, QPlainTextEdit* widget);
    QString Text() const override;
    void SetText(const QString& text) override;
    // Adds the text at the end, as SetText(Text() + text) would, without
    // copying or showing again what is already there.
    void Append(const QString& text);
    // Selection in characters, the start counted from 0. Setting the start
    // keeps the length: set the length, then the start, to select a range.
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int start);
    void SetSelLength(int length);
    QString SelText() const;

private:
    void showText();        // puts the held text into the widget
    void showWhenNeeded();  // the widget takes the held text before it is painted or used
    // Folds the user's edit, as the widget's document reports it, into the
    // held text.
    void takeUserEdit(int position, int removed, int added);
    void readSelection() const;
    void cutSelectionToText();
    void applySelection();
    QPlainTextEdit* edit_;
    QString text_;
    mutable int selStart_ = 0;
    mutable int selLength_ = 0;
    bool shown_ = false;  // the widget holds text_
    bool settingText_ = false;
    friend class TextAreaWatcher;
};

// Single-line text. Text() is exactly what was last set or typed.
class TextField : public TextControl {
public:
    TextField(QString name, QLineEdit* widget);
    QString Text() const override { return text_; }
    void SetText(const QString& text) override;

private:
    QLineEdit* edit_;
    QString text_;
};

class StaticText : public TextControl {
public:
    StaticText(QString name, QLabel* widget);
    QString Text() const override { return text_; }
    void SetText(const QString& text) override;

private:
    QLabel* label_;
    QString text_;
};

// A single-selection list. Text() is the selected row's text, the empty text
// when no row is selected.
class Listbox : public Control {
public:
    Listbox(QString name, QListWidget* widget, const QString& rows);
    QString Text() const;
    int ListCount() const;
    QString List(int row) const;
    int ListIndex() const;       // -1 when no row is selected
    void SetListIndex(int row);  // -1 clears the selection

private:
    QListWidget* list_;
};

// Value() reads and sets the selection. Setting it in code does not run the
// Action; a click by the user does.
class RadioButton : public Control {
public:
    RadioButton(QString name, QRadioButton* widget);
    bool Value() const;
    void SetValue(bool value);
    QString Caption() const;
    void Click();  // as the user's click: selects and runs the Action
    void SetAction(std::function<void()> action);

private:
    QRadioButton* button_;
    std::function<void()> action_;
};

class PushButton : public Control {
public:
    PushButton(QString name, QPushButton* widget);
    QString Caption() const;
    void Push();  // as the user's click: runs the Action
    void SetAction(std::function<void()> action);

private:
    QPushButton* button_;
    std::function<void()> action_;
};

// Labels that react to a mouse press.
using MouseDownHandler = std::function<bool(int x, int y)>;
void SetMouseDown(StaticText& label, MouseDownHandler handler);

// Shapes created from designs only.
class Shape : public Control {
public:
    Shape(Kind kind, QString name, QWidget* widget) : Control(kind, std::move(name), widget) {}
};

}  // namespace fw
