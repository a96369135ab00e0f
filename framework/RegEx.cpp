#include "framework/RegEx.h"

#include <QHash>

namespace fw {

// Compiled patterns are kept for the program's life: the program uses a
// handful of patterns again and again, and copies share the compiled form.
const QRegularExpression& RegEx::compiled() const {
    if (regex_.pattern() != SearchPattern) {
        static QHash<QString, QRegularExpression> cache;
        auto it = cache.find(SearchPattern);
        if (it == cache.end()) {
            if (cache.size() > 256) cache.clear();
            it = cache.insert(SearchPattern, QRegularExpression(SearchPattern));
        }
        regex_ = *it;
    }
    return regex_;
}

std::optional<RegExMatch> RegEx::Search(const QString& target) const {
    const QRegularExpressionMatch match = compiled().match(target);
    if (!match.hasMatch()) return std::nullopt;
    return RegExMatch{int(match.capturedStart()), match.captured()};
}

QString RegEx::Replace(const QString& target) const {
    const QRegularExpression& regex = compiled();
    QString result;
    qsizetype copied = 0;
    auto matches = regex.globalMatch(target);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        result += QStringView(target).mid(copied, match.capturedStart() - copied);
        result += ReplacementPattern;
        copied = match.capturedEnd();
        if (!Options.ReplaceAllMatches) break;
    }
    result += QStringView(target).mid(copied);
    return result;
}

}  // namespace fw
