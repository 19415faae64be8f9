#pragma once

#include <gtest/gtest.h>
#include <memory>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

// Pins ICU's default locale and time zone (what the date category calls the
// current ones) for one scope and restores them after.
class PinnedDefaults
{
public:
    PinnedDefaults(const char *locale, const char *zone)
        : m_locale(icu::Locale::getDefault())
        , m_zone(icu::TimeZone::createDefault())
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(locale), status);
        EXPECT_TRUE(U_SUCCESS(status)) << locale;
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zone)));
    }
    ~PinnedDefaults()
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(m_locale, status);
        icu::TimeZone::adoptDefault(m_zone.release());
    }
    PinnedDefaults(const PinnedDefaults &) = delete;
    PinnedDefaults &operator=(const PinnedDefaults &) = delete;

private:
    icu::Locale m_locale;
    std::unique_ptr<icu::TimeZone> m_zone;
};
