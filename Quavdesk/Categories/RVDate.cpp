#include "Categories/RVDate.h"

#include <memory>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace {

icu::UnicodeString toIcu(const QString &text)
{
    // constData(), not utf16(): utf16() rewrites a literal's storage to add
    // a terminator, which races when threads share one format constant.
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.constData()), static_cast<int32_t>(text.size()));
}

QString fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

// ICU formatters are not safe to share between threads; the log line formats
// one stamp per event, so each thread keeps the last formatter it built and
// rebuilds it only when the pattern, the locale or the zone changes.
struct CachedFormatter {
    QString pattern;
    std::string localeName;
    icu::UnicodeString zoneId;
    std::unique_ptr<icu::SimpleDateFormat> formatter;
};

} // namespace

QString rv_stringWithFormat(const QDateTime &date, const QString &format)
{
    if (!date.isValid())
        return QString();

    thread_local CachedFormatter cache;
    const icu::Locale &locale = icu::Locale::getDefault();
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    icu::UnicodeString zoneId;
    zone->getID(zoneId);

    if (!cache.formatter || cache.pattern != format || cache.localeName != locale.getName() || cache.zoneId != zoneId) {
        UErrorCode status = U_ZERO_ERROR;
        auto formatter = std::make_unique<icu::SimpleDateFormat>(toIcu(format), locale, status);
        if (U_FAILURE(status))
            return QString();
        formatter->adoptTimeZone(zone.release());
        cache.pattern = format;
        cache.localeName = locale.getName();
        cache.zoneId = zoneId;
        cache.formatter = std::move(formatter);
    }

    icu::UnicodeString out;
    cache.formatter->format(static_cast<UDate>(date.toMSecsSinceEpoch()), out);
    return fromIcu(out);
}
