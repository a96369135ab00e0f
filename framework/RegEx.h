// Regular-expression search and replace on whole texts.
#pragma once

#include <QRegularExpression>
#include <QString>
#include <optional>

namespace fw {

struct RegExMatch {
    int position = 0;  // offset of the match, from 0
    QString text;      // the matched text
};

struct RegExOptions {
    bool ReplaceAllMatches = false;
};

// SearchPattern is a regular expression (case-sensitive); Search and Replace
// throw std::logic_error naming it when it is not a valid one.
// ReplacementPattern is inserted literally: "$1" or "\\1" in it stand for
// themselves.
class RegEx {
public:
    QString SearchPattern;
    QString ReplacementPattern;
    RegExOptions Options;

    // The first match in target, or nothing.
    std::optional<RegExMatch> Search(const QString& target) const;
    // target with its first match (or every match with ReplaceAllMatches)
    // replaced; unchanged when nothing matches.
    QString Replace(const QString& target) const;

private:
    const QRegularExpression& compiled() const;
    mutable QRegularExpression regex_;
};

}  // namespace fw
