#pragma once

#include <QString>
#include <QVariant>

#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

// How the categories read numbers out of values and texts. A "number" is a
// QVariant holding a bool, an integer type, a float or a double.

bool rvIsNumber(const QVariant &value);
// Whether values of this type are numbers in that sense.
bool rvIsNumberType(QMetaType type);
// A nil value or a JSON-style null.
bool rvIsNullObject(const QVariant &value);

// The length of the floating-point number at the start of `text` after
// `from` (optional sign, digits with an optional point, an optional
// exponent), or nothing when none stands there.
std::optional<qsizetype> rvScanDecimalNumber(QStringView text, qsizetype from);
// The leading integer of a text after white space (sign and digits,
// saturating); 0 when there is none.
qint64 rvTextIntegerValue(QStringView text);
// The leading floating-point number of a text after white space; 0 when
// there is none.
double rvTextDoubleValue(QStringView text);

// The number in the current locale's decimal style (ICU's default locale):
// grouping, at most three fraction digits.
QString rvFormattedDecimal(double value);

// The value of one hexadecimal digit (either case), or -1.
int rvHexDigitValue(char16_t c);

// A number's, or a text's, integer value (0 for anything else).
qint64 rvIntegerValue(const QVariant &value);

// The C conversion of a number to T, made defined: integers wrap as the
// narrower type keeps their low bits, doubles truncate toward zero and
// saturate, NaN is 0, and bool is "not zero".
template <typename T>
T rvConvertNumber(const QVariant &number)
{
    if constexpr (std::is_same_v<T, bool>) {
        if (number.typeId() == QMetaType::Double || number.typeId() == QMetaType::Float)
            return number.toDouble() != 0.0;
        return number.toULongLong() != 0;
    } else if constexpr (std::is_floating_point_v<T>) {
        if (number.typeId() == QMetaType::ULongLong || number.typeId() == QMetaType::ULong
            || number.typeId() == QMetaType::UInt)
            return static_cast<T>(number.toULongLong());
        if (number.typeId() == QMetaType::Double || number.typeId() == QMetaType::Float)
            return static_cast<T>(number.toDouble());
        return static_cast<T>(number.toLongLong());
    } else {
        if (number.typeId() == QMetaType::Double || number.typeId() == QMetaType::Float) {
            const double value = number.toDouble();
            if (std::isnan(value))
                return T(0);
            if (value <= static_cast<double>(std::numeric_limits<T>::min()))
                return std::numeric_limits<T>::min();
            if (value >= static_cast<double>(std::numeric_limits<T>::max()))
                return std::numeric_limits<T>::max();
            return static_cast<T>(value);
        }
        if (number.typeId() == QMetaType::ULongLong || number.typeId() == QMetaType::ULong)
            return static_cast<T>(number.toULongLong());
        return static_cast<T>(number.toLongLong());
    }
}
