// Addresses that the page templates hold until the teacher's own replace them,
// and the addresses that the program names.
#pragma once

#include <QString>

// The CGI form's action address: 7 characters of scheme, a 14-character host,
// then "/cgi-bin/form.pl"; 37 characters in all.
inline const QString kUrlPlaceholder = QStringLiteral("http://my.example.org/cgi-bin/form.pl");
inline const QString kUrlPlaceholderHost = QStringLiteral("my.example.org");
// The instructor's address in the mailto: form; 21 characters.
inline const QString kEmailPlaceholder = QStringLiteral("your.name@example.org");
// Where the generiform form-mail script is offered.
inline const QString kGeneriformHomeAddress = QStringLiteral("https://generiform.example.org/");
// What the About window's link opens.
inline const QString kAboutLinkAddress = QStringLiteral("https://www.example.com/quillory3/");
