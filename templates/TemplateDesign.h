// Design values shared by the template windows: the hidden document window
// and the one text area, EditField1, that holds a page fragment.
#pragma once

#include "framework/Design.h"

#include <QString>
#include <initializer_list>

// The lines of a fragment joined by single carriage returns, with no line
// break after the last one.
QString JoinLines(std::initializer_list<QString> lines);

// A document window with close, minimise and maximise boxes, resizeable,
// hidden unless visible is set.
fw::WindowDesign TemplateWindowDesign(const QString& title, int width, int height, bool visible = false);

// EditField1: a multi-line, editable text area without length limit, 12-pixel
// black text on white, holding the given fragment.
fw::ControlDesign FragmentArea(int left, int top, int width, int height, const QString& text);
