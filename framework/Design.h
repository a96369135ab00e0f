// Design data for windows and their controls: what a window looks like and
// what it holds, written as tables that the framework turns into widgets.
#pragma once

#include <QString>

namespace fw {

enum class Kind { TextArea, TextField, StaticText, Listbox, RadioButton, PushButton, Separator, Line, Rectangle };

// Style flags of a control; combine with |.
enum Style : unsigned {
    Plain = 0,
    Bold = 1u << 0,
    Italic = 1u << 1,
    Underline = 1u << 2,
    Multiline = 1u << 3,  // labels wrap; a carriage return starts a new line
    AlignCenter = 1u << 4,
    AlignRight = 1u << 5,
    // Anchoring to the window's right or bottom edge. Kept in the design
    // tables as a record of the design only: the controls that carry them
    // stand on a fixed-size window, which never resizes, so nothing reads them.
    LockRight = 1u << 6,
    LockBottom = 1u << 7,
};

constexpr int kNoColor = -1;

struct ControlDesign {
    Kind kind;
    QString name;
    int left = 0, top = 0, width = 0, height = 0;
    int textSize = 0;  // font size in pixels; 0: the platform's default font
    QString text;      // text, caption or, for a list, rows ended by carriage returns
    unsigned style = Plain;
    int textColor = 0x000000;  // 0xRRGGBB
    int fillColor = kNoColor;  // rectangles: fill; others: background
    QString parent;            // name of an enclosing Rectangle, or empty
};

struct WindowDesign {
    QString title;
    int width = 0, height = 0;  // content area; controls count from its top left corner
    bool visible = false;       // shown as soon as it is created
    bool resizeable = true;
    bool minimizeButton = true;
    bool maximizeButton = true;
    int backColor = kNoColor;  // 0xRRGGBB, or kNoColor for the platform's default
    bool closeQuits = false;   // the close box quits the application instead of hiding
};

}  // namespace fw
