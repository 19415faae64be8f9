#include "Utils/IntegerValue.h"

#include <cmath>
#include <limits>

namespace {

qint64 clampedWhole(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it is clamped.
    constexpr double kLimit = 9223372036854775808.0;
    if (value >= kLimit)
        return std::numeric_limits<qint64>::max();
    if (value < -kLimit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(std::trunc(value));
}

} // namespace

qint64 integerValueOfText(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    quint64 magnitude = 0;
    constexpr quint64 kMaxMagnitude = quint64(std::numeric_limits<qint64>::max()) + 1;
    bool overflow = false;
    for (; i < n && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        const quint64 digit = quint64(text.at(i).unicode() - u'0');
        if (!overflow && magnitude > (kMaxMagnitude - digit) / 10)
            overflow = true;
        if (!overflow)
            magnitude = magnitude * 10 + digit;
    }
    if (negative) {
        if (overflow || magnitude >= kMaxMagnitude)
            return std::numeric_limits<qint64>::min();
        return -static_cast<qint64>(magnitude);
    }
    if (overflow || magnitude >= kMaxMagnitude)
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(magnitude);
}

qint64 integerValueOfJson(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Double:
        return clampedWhole(value.toDouble());
    case QJsonValue::Bool:
        return value.toBool() ? 1 : 0;
    case QJsonValue::String:
        return integerValueOfText(value.toString());
    default:
        return 0;
    }
}
