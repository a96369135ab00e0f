#include "builder/HtmlText.h"

QString HtmlSafeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t code = c.unicode();
        switch (code) {
        case '&': out += QLatin1String("&#38;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        case '"': out += QLatin1String("&#34;"); break;
        case '\\': out += QLatin1String("&#92;"); break;
        case '<': out += QLatin1String("&#60;"); break;
        case '>': out += QLatin1String("&#62;"); break;
        default:
            if (IsControlCharacter(c)) out += QLatin1String("&#") + QString::number(code) + QLatin1Char(';');
            else out += c;
        }
    }
    return out;
}

QString RelativeAddressText(const QString& fileName) {
    QString out;
    out.reserve(fileName.size());
    // A browser drops blanks at the start of an address: keep them as "%20".
    qsizetype at = 0;
    for (; at < fileName.size() && fileName.at(at) == QLatin1Char(' '); ++at) out += QLatin1String("%20");
    for (QChar c : QStringView(fileName).sliced(at)) {
        switch (c.unicode()) {
        case '%': out += QLatin1String("%25"); break;
        case '#': out += QLatin1String("%23"); break;
        case '?': out += QLatin1String("%3F"); break;
        case ':': out += QLatin1String("%3A"); break;  // else "Test:1.js" reads as an address of scheme "test"
        default: out += c;
        }
    }
    return out;
}
