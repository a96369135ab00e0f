// Text typed by the teacher that the page puts inside its script strings and
// attribute values.
#pragma once

#include <QString>

// A character below U+0020: a tab, a line break or another invisible one.
inline bool IsControlCharacter(QChar c) { return c.unicode() < 0x20; }

// The six characters & ' " \ < > as the character references "&#38;",
// "&#39;", "&#34;", "&#92;", "&#60;", "&#62;", and every control character
// below U+0020 as its decimal reference ("&#9;", "&#10;", "&#13;" ...);
// everything else unchanged. A browser shows the references as the
// characters, and they end no string, no line and no attribute value.
QString HtmlSafeText(const QString& text);

// A file name as a relative address that a browser resolves to exactly that
// name beside the page: "%" as "%25", "#" as "%23", "?" as "%3F", ":" as
// "%3A" and each blank at the start as "%20"; everything else unchanged (the
// browser encodes the rest itself).
QString RelativeAddressText(const QString& fileName);
