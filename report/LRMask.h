#pragma once
// The display formats of text items: a numeric picture for numbers and an edit mask for
// other texts.
#include <QString>

// Formats value with a numeric picture: "0" and "#" digit placeholders, "." decimal point,
// "," thousands separator, quoted literals, and up to three ";"-separated sections for
// positive, negative and zero values.
QString FormatFloat(const QString& format, double value);
// Formats value with an edit mask: "mask;keep-literals;blank" where the mask has the input
// positions L l A a C c 0 9 #, case conversion > < <>, "\" escapes, and literals.
QString FormatMaskText(const QString& editMask, const QString& value);
// Converts a number text (C locale); raises Exception when it is not a valid number.
double StrToFloat(const QString& text);
