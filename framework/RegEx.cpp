#include "framework/RegEx.h"

namespace fw {

const QRegularExpression& RegEx::compiled() const {
    if (compiledPattern_ != SearchPattern || !regex_.isValid() || regex_.pattern() != SearchPattern) {
        regex_ = QRegularExpression(SearchPattern);
        compiledPattern_ = SearchPattern;
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
