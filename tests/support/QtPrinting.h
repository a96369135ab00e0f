// How the tests show Qt's text types: GoogleTest prints a QString, a
// QLatin1String or a QByteArray in a failed assertion as quoted, escaped text
// (as it prints a std::string) instead of as a container of characters or
// bytes, and a QString streamed into an assertion's message or SCOPED_TRACE
// reads as text. A QStringList and a std::vector<QString> print as lists of
// such texts.
#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

inline void PrintTo(const QString& text, std::ostream* out) { *out << ::testing::PrintToString(text.toStdString()); }

inline void PrintTo(QLatin1String text, std::ostream* out) { PrintTo(QString(text), out); }

inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << ::testing::PrintToString(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

inline std::ostream& operator<<(std::ostream& out, const QString& text) { return out << text.toStdString(); }

// A string literal compared with a QString, as in EXPECT_EQ(field.Text(), "3"),
// prints as the text it holds. GoogleTest does the same for a literal compared
// with a std::string; for any other type it prints the literal's address.
namespace testing::internal {

template <>
class FormatForComparison<char*, QString> {
public:
    static std::string Format(const char* value) { return ::testing::PrintToString(value); }
};

template <>
class FormatForComparison<const char*, QString> {
public:
    static std::string Format(const char* value) { return ::testing::PrintToString(value); }
};

}  // namespace testing::internal
