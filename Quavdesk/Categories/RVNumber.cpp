#include "Categories/RVNumber.h"

#include "Categories/RVNumberValue_p.h"
#include "Categories/RVString.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/parsepos.h>
#include <unicode/unistr.h>

namespace {

// Leading hexadecimal digits after an optional "0x", saturating at the
// 32-bit maximum; nothing when no digit stands there.
std::optional<quint32> scanHexInt(QStringView text)
{
    qsizetype at = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        at = 2;
    quint64 value = 0;
    bool any = false;
    for (; at < text.size(); ++at) {
        const int digit = rvHexDigitValue(text.at(at).unicode());
        if (digit < 0)
            break;
        any = true;
        value = std::min<quint64>(value * 16 + static_cast<quint64>(digit), 0xFFFFFFFFull);
    }
    if (!any)
        return std::nullopt;
    return static_cast<quint32>(value);
}

// ICU formats are not safe to share between threads; each thread keeps one
// for the locale it last used.
struct CachedNumberFormat {
    std::string localeName;
    std::unique_ptr<icu::NumberFormat> format;
};

icu::NumberFormat *decimalFormat()
{
    thread_local CachedNumberFormat cache;
    const icu::Locale &locale = icu::Locale::getDefault();
    if (!cache.format || cache.localeName != locale.getName()) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::NumberFormat> made(icu::NumberFormat::createInstance(locale, UNUM_DECIMAL, status));
        if (U_FAILURE(status) || !made)
            return nullptr;
        cache.format = std::move(made);
        cache.localeName = locale.getName();
    }
    return cache.format.get();
}

QVariant parsedDecimal(const QString &text)
{
    icu::NumberFormat *format = decimalFormat();
    if (!format)
        return QVariant();
    const icu::UnicodeString input(reinterpret_cast<const UChar *>(text.constData()), static_cast<int32_t>(text.size()));
    icu::Formattable result;
    icu::ParsePosition position(0);
    format->parse(input, result, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != input.length())
        return QVariant();
    UErrorCode status = U_ZERO_ERROR;
    switch (result.getType()) {
    case icu::Formattable::kLong:
    case icu::Formattable::kInt64: {
        const int64_t value = result.getInt64(status);
        return U_SUCCESS(status) ? QVariant(static_cast<qint64>(value)) : QVariant();
    }
    case icu::Formattable::kDouble: {
        const double value = result.getDouble(status);
        return U_SUCCESS(status) ? QVariant(value) : QVariant();
    }
    default:
        return QVariant();
    }
}

} // namespace

QString rvFormattedDecimal(double value)
{
    icu::NumberFormat *format = decimalFormat();
    if (!format)
        return QString::number(value);
    icu::UnicodeString out;
    format->format(value, out);
    return QString(reinterpret_cast<const QChar *>(out.getBuffer()), out.length());
}

QVariant rv_numberWithString(const QString &string)
{
    const QString lowered = rv_stringByTrim(string).toLower();
    if (lowered.isEmpty())
        return QVariant();
    if (lowered == QLatin1String("true") || lowered == QLatin1String("yes"))
        return QVariant(true);
    if (lowered == QLatin1String("false") || lowered == QLatin1String("no"))
        return QVariant(false);
    if (lowered == QLatin1String("nil") || lowered == QLatin1String("null") || lowered == QLatin1String("<null>"))
        return QVariant();

    const bool negativeHex = lowered.startsWith(QLatin1String("-0x"));
    if (negativeHex || lowered.startsWith(QLatin1String("0x"))) {
        // The sign is read here; a hexadecimal scanner takes none.
        const std::optional<quint32> value = scanHexInt(QStringView(lowered).mid(negativeHex ? 1 : 0));
        if (!value)
            return QVariant();
        return QVariant(static_cast<qint64>(*value) * (negativeHex ? -1 : 1));
    }
    return parsedDecimal(string);
}
