// Text typed by the teacher that the page puts inside its script strings and
// attribute values.
#pragma once

#include <QString>

// The six characters & ' " \ < > as the character references "&#38;",
// "&#39;", "&#34;", "&#92;", "&#60;", "&#62;"; everything else unchanged.
// A browser shows the references as the characters, and they end no string.
QString HtmlSafeText(const QString& text);
