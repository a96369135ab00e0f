#include "builder/MessageText.h"

QString QuotedInput(const QString& typed) {
    constexpr qsizetype kShown = 40;
    if (typed.size() <= kShown) return typed;
    qsizetype cut = kShown;
    if (typed.at(cut - 1).isHighSurrogate()) --cut;  // keep a character whole
    return typed.left(cut) + QLatin1StringView("...");
}
