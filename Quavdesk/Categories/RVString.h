#pragma once

#include <QString>
#include <QVariant>

// The two text operations of the string category that the rest of the
// program relies on. White space means the Unicode white-space and line-break
// set (the Z categories, U+0009 to U+000D and U+0085).

// The text without white space and line breaks at both ends; inner white
// space is kept.
QString rv_stringByTrim(const QString &string);

// True when `object` is nil (an invalid variant), is not a text, is empty or
// holds only white space and line breaks.
bool rv_isEmpty(const QVariant &object);
bool rv_isEmpty(const QString &string);
// Literal texts would otherwise be ambiguous between the two overloads above.
bool rv_isEmpty(const char *string);
