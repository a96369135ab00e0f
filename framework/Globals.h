// Global operations: messages, quitting, opening addresses, and the small
// text and number helpers that the program's handlers use.
#pragma once

#include <QString>
#include <functional>

namespace fw {

// Modal message with one button. Goes through a replaceable handler so that
// tests can record messages instead of blocking on a dialog.
void MsgBox(const QString& text);
// Ends the event loop with the given status.
void Quit(int code = 0);
// Opens an address in the user's web browser.
void ShowURL(const QString& address);

using MessageHandler = std::function<void(const QString&)>;
using QuitHandler = std::function<void(int)>;
using UrlHandler = std::function<void(const QString&)>;
// Each setter returns the handler it replaces; an empty function restores the default.
MessageHandler SetMsgBoxHandler(MessageHandler handler);
QuitHandler SetQuitHandler(QuitHandler handler);
UrlHandler SetShowURLHandler(UrlHandler handler);

// The number at the start of the text (after leading blanks), 0 when there is none.
double Val(const QString& text);
// A whole number as all its digits alone, however large ("2", not "2.0";
// 1e15 as "1000000000000000"); other numbers in the shortest form that reads
// back as the same double.
QString Str(double number);
// A one-character text holding the given code.
QString Chr(int code);
// Position of part in text, counted from 1, searching from position start
// (0 or 1: the beginning); 0 when absent.
int InStr(int start, const QString& text, const QString& part);
// The platform's line end.
QString EndOfLine();

}  // namespace fw
