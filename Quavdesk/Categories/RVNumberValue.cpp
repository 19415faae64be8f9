#include "Categories/RVNumberValue_p.h"

#include <QByteArray>
#include <algorithm>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

qsizetype skipSpace(QStringView text, qsizetype at)
{
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    return at;
}

} // namespace

bool rvIsNumber(const QVariant &value)
{
    return rvIsNumberType(value.metaType());
}

bool rvIsNumberType(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

bool rvIsNullObject(const QVariant &value)
{
    return !value.isValid() || value.typeId() == QMetaType::Nullptr;
}

std::optional<qsizetype> rvScanDecimalNumber(QStringView text, qsizetype from)
{
    qsizetype at = from;
    if (at < text.size() && (text.at(at) == QLatin1Char('+') || text.at(at) == QLatin1Char('-')))
        ++at;
    qsizetype digits = 0;
    while (at < text.size() && isAsciiDigit(text.at(at))) {
        ++at;
        ++digits;
    }
    if (at < text.size() && text.at(at) == QLatin1Char('.')) {
        ++at;
        while (at < text.size() && isAsciiDigit(text.at(at))) {
            ++at;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    // An exponent counts only when it has digits; "1e" is the number 1.
    if (at < text.size() && (text.at(at) == QLatin1Char('e') || text.at(at) == QLatin1Char('E'))) {
        qsizetype exponent = at + 1;
        if (exponent < text.size() && (text.at(exponent) == QLatin1Char('+') || text.at(exponent) == QLatin1Char('-')))
            ++exponent;
        if (exponent < text.size() && isAsciiDigit(text.at(exponent))) {
            while (exponent < text.size() && isAsciiDigit(text.at(exponent)))
                ++exponent;
            at = exponent;
        }
    }
    return at - from;
}

qint64 rvTextIntegerValue(QStringView text)
{
    qsizetype at = skipSpace(text, 0);
    bool negative = false;
    if (at < text.size() && (text.at(at) == QLatin1Char('+') || text.at(at) == QLatin1Char('-'))) {
        negative = text.at(at) == QLatin1Char('-');
        ++at;
    }
    // Accumulate toward the sign so the most negative value fits.
    qint64 value = 0;
    for (; at < text.size() && isAsciiDigit(text.at(at)); ++at) {
        const int digit = text.at(at).unicode() - '0';
        if (negative) {
            if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
                return std::numeric_limits<qint64>::min();
            value = value * 10 - digit;
        } else {
            if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
                return std::numeric_limits<qint64>::max();
            value = value * 10 + digit;
        }
    }
    return value;
}

double rvTextDoubleValue(QStringView text)
{
    const qsizetype start = skipSpace(text, 0);
    const std::optional<qsizetype> length = rvScanDecimalNumber(text, start);
    if (!length)
        return 0.0;
    // Qt reads "." as the point whatever the process locale.
    const QByteArray ascii = text.mid(start, *length).toLatin1();
    bool ok = false;
    const double value = ascii.toDouble(&ok);
    if (ok)
        return value;
    // Out of range: overflow saturates to an infinity and underflow to zero,
    // both keeping the sign, as the C library does.
    const bool negative = ascii.startsWith('-');
    const qsizetype exponent = std::max(ascii.indexOf('e'), ascii.indexOf('E'));
    const bool tiny = exponent >= 0 && exponent + 1 < ascii.size() && ascii.at(exponent + 1) == '-';
    const double magnitude = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    return negative ? -magnitude : magnitude;
}

int rvHexDigitValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

qint64 rvIntegerValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return rvTextIntegerValue(value.toString());
    if (rvIsNumber(value))
        return rvConvertNumber<qint64>(value);
    return 0;
}
