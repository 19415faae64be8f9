#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringView>

#include <cmath>

// How the models read a text member that a peer may send as a number: texts
// as they are, whole numbers as their decimal text, other numbers in their
// shortest exact form; any other type gives the null text.
namespace QVModelText {

inline QString textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 9.007199254740992e15)
            return QString::number(static_cast<qint64>(number));
        return QString::number(number, 'g', 17);
    }
    return QString();
}

// The integer at the start of a text member, as the peers' number scan reads
// it: leading white space, an optional sign, decimal digits up to the first
// other character; 0 without digits; saturated at the 64-bit limits so a
// hostile size can never wrap to a small or negative one.
qint64 integerOf(QStringView text);

} // namespace QVModelText
