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
            if (IsControlCharacter(c))
                out += QLatin1String("&#") + QString::number(code) + QLatin1Char(';');
            else
                out += c;
        }
    }
    return out;
}

QString RelativeAddressText(const QString& fileName) {
    QString out;
    out.reserve(fileName.size());
    for (QChar c : fileName) {
        switch (c.unicode()) {
        case '%': out += QLatin1String("%25"); break;
        case '#': out += QLatin1String("%23"); break;
        case '?': out += QLatin1String("%3F"); break;
        default: out += c;
        }
    }
    return out;
}
