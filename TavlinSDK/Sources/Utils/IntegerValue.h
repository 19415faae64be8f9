#pragma once

#include <QJsonValue>
#include <QStringView>

// The integer at the start of a text, as a number scan reads it: leading
// white space, an optional sign, then decimal digits up to the first other
// character; 0 without digits. Saturates at the 64-bit limits instead of
// wrapping.
qint64 integerValueOfText(QStringView text);

// The integer meaning of a JSON value as the receivers' peers read it:
// numbers truncated toward zero (clamped to 64 bits, NaN as 0), text by its
// leading integer, booleans as 0 or 1, anything else 0.
qint64 integerValueOfJson(const QJsonValue &value);
