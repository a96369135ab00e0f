#include "framework/RegEx.h"

#include <QHash>
#include <stdexcept>

namespace fw {

// Compiled patterns are kept for the program's life: the program uses a
// handful of patterns again and again, and copies share the compiled form.
// The program's patterns are constants or escaped texts, so one that does not
// compile is a programming error; it throws rather than never matching.
const QRegularExpression& RegEx::compiled() const {
    if (regex_.pattern() != SearchPattern) {
        static QHash<QString, QRegularExpression> cache;
        auto it = cache.find(SearchPattern);
        if (it == cache.end()) {
            QRegularExpression regex(SearchPattern);
            if (!regex.isValid()) {
                throw std::logic_error(("invalid search pattern \"" + SearchPattern + "\": " + regex.errorString() +
                                        " at offset " + QString::number(regex.patternErrorOffset()))
                                           .toStdString());
            }
            if (cache.size() > 256) cache.clear();
            it = cache.insert(SearchPattern, regex);
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
