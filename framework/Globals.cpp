#include "framework/Globals.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

namespace fw {
namespace {

MessageHandler& msgBoxHandler() {
    static MessageHandler handler;
    return handler;
}
QuitHandler& quitHandler() {
    static QuitHandler handler;
    return handler;
}
UrlHandler& urlHandler() {
    static UrlHandler handler;
    return handler;
}

}  // namespace

MessageHandler SetMsgBoxHandler(MessageHandler handler) { return std::exchange(msgBoxHandler(), std::move(handler)); }
QuitHandler SetQuitHandler(QuitHandler handler) { return std::exchange(quitHandler(), std::move(handler)); }
UrlHandler SetShowURLHandler(UrlHandler handler) { return std::exchange(urlHandler(), std::move(handler)); }

void MsgBox(const QString& text) {
    if (msgBoxHandler()) {
        msgBoxHandler()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void Quit(int code) {
    if (quitHandler()) {
        quitHandler()(code);
        return;
    }
    QCoreApplication::exit(code);
}

void ShowURL(const QString& address) {
    if (urlHandler()) {
        urlHandler()(address);
        return;
    }
    QDesktopServices::openUrl(QUrl(address));
}

double Val(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[ \\t]*([+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch()) return 0.0;
    QByteArray digits = match.captured(1).toLatin1();
    if (digits.startsWith('+')) digits.remove(0, 1);
    double value = 0.0;
    const auto result = std::from_chars(digits.constData(), digits.constData() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: strtod's reading, infinity or zero.
        return std::strtod(digits.constData(), nullptr);
    }
    return value;
}

QString Str(double number) {
    if (number == 0.0) return QStringLiteral("0");
    // The largest double has 309 digits; room for them, a sign and a fraction.
    char buffer[400];
    const bool whole = std::isfinite(number) && number == std::trunc(number);
    const auto result = whole ? std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed, 0)
                              : std::to_chars(buffer, buffer + sizeof buffer, number);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

QString Chr(int code) { return QString(QChar(code)); }

int InStr(int start, const QString& text, const QString& part) {
    const int from = start > 1 ? start - 1 : 0;
    if (from > text.size()) return 0;
    const qsizetype at = text.indexOf(part, from);
    return at < 0 ? 0 : int(at) + 1;
}

QString EndOfLine() { return QStringLiteral("\n"); }

}  // namespace fw
