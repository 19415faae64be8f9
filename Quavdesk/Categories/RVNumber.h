#pragma once

#include <QString>
#include <QVariant>

// The number a text stands for, or nil (an invalid variant):
// - trimmed and lower-cased, "true"/"yes" are YES and "false"/"no" NO (bool),
//   "nil", "null" and "<null>" are nil, and an empty text is nil;
// - "0x..." and "-0x..." read their leading hexadecimal digits as an
//   unsigned 32-bit value (saturating), with the sign, as a qint64; no digit
//   is nil;
// - anything else is read whole, as given, by the decimal number format of
//   the current locale (ICU's default locale): a qint64 when integral, else a
//   double; text it cannot read to the end is nil.
QVariant rv_numberWithString(const QString &string);
