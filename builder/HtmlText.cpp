#include "builder/HtmlText.h"

QString HtmlSafeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&#38;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        case '"': out += QLatin1String("&#34;"); break;
        case '\\': out += QLatin1String("&#92;"); break;
        case '<': out += QLatin1String("&#60;"); break;
        case '>': out += QLatin1String("&#62;"); break;
        default: out += c;
        }
    }
    return out;
}
