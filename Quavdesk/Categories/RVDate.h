#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <optional>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class Calendar;
U_NAMESPACE_END

// The date category. A date is an instant; its calendar fields are read in
// the current calendar: the calendar of ICU's default locale (Gregorian
// unless the locale names another) in ICU's default time zone. Both follow
// the user's environment (LANG, LC_ALL, TZ) unless the program sets them.
// Every operation is safe on any thread; an invalid date gives 0, NO, an
// empty text or an invalid date.

// `date` formatted with the TR35 pattern `format` ("yyyy-MM-dd HH:mm:ss SSS"
// for the log line), in the current locale (its digits and calendar) and the
// default time zone. Fractional-second fields truncate. An invalid date or an
// unusable pattern gives a null text.
QString rv_stringWithFormat(const QDateTime &date, const QString &format);
// The same with the zone and the locale (an ICU locale identifier such as
// "en_US_POSIX" or "th_TH@calendar=gregorian", or a BCP 47 tag such as
// "th-TH-u-ca-gregory") set only when given.
QString rv_stringWithFormat(const QDateTime &date, const QString &format, const std::optional<QTimeZone> &timeZone,
                            const std::optional<QString> &locale);
// "yyyy-MM-dd'T'HH:mm:ssZ" in en_US_POSIX and the default zone, such as
// "2001-01-01T00:00:00+0000".
QString rv_stringWithISOFormat(const QDateTime &date);

// The instant `text` names in the TR35 pattern `format`; invalid unless the
// whole text reads strictly (no trailing text, no out-of-range field).
QDateTime rv_dateWithString(const QString &text, const QString &format);
QDateTime rv_dateWithString(const QString &text, const QString &format, const std::optional<QTimeZone> &timeZone,
                            const std::optional<QString> &locale);
// The reverse of rv_stringWithISOFormat.
QDateTime rv_dateWithISOFormatString(const QString &text);

// Calendar fields of the current calendar.
qint64 rv_year(const QDateTime &date);
qint64 rv_month(const QDateTime &date);
qint64 rv_day(const QDateTime &date);
qint64 rv_hour(const QDateTime &date);
qint64 rv_minute(const QDateTime &date);
qint64 rv_second(const QDateTime &date);
// The fraction of the second, to the millisecond the date holds.
qint64 rv_nanosecond(const QDateTime &date);
// 1 is Sunday.
qint64 rv_weekday(const QDateTime &date);
// Which of the month's days of this weekday it is (1 for days 1 to 7).
qint64 rv_weekdayOrdinal(const QDateTime &date);
// The week fields follow the locale's first weekday and first-week rule.
qint64 rv_weekOfMonth(const QDateTime &date);
qint64 rv_weekOfYear(const QDateTime &date);
qint64 rv_yearForWeekOfYear(const QDateTime &date);
// 1 to 4, from the month.
qint64 rv_quarter(const QDateTime &date);
// Whether the current calendar counts the month as a repeated leap month.
bool rv_isLeapMonth(const QDateTime &date);

// The Gregorian leap rule on the date's (proleptic Gregorian) year.
bool rv_isLeapYear(const QDateTime &date);
// Less than a day from now, either side, and the same day of the month.
bool rv_isToday(const QDateTime &date);
// rv_isToday of the date a day (86400 s) later.
bool isYesterday(const QDateTime &date);

// Calendar arithmetic in the current calendar and zone (31 January plus a
// month is the last day of February). An amount or result out of range
// gives an invalid date.
QDateTime rv_dateByAddingYears(const QDateTime &date, qint64 years);
QDateTime rv_dateByAddingMonths(const QDateTime &date, qint64 months);
QDateTime rv_dateByAddingWeeks(const QDateTime &date, qint64 weeks);
// Plain time arithmetic: the amount times 86400, 3600, 60 or 1 seconds,
// daylight-saving changes left aside.
QDateTime rv_dateByAddingDays(const QDateTime &date, qint64 days);
QDateTime rv_dateByAddingHours(const QDateTime &date, qint64 hours);
QDateTime rv_dateByAddingMinutes(const QDateTime &date, qint64 minutes);
QDateTime rv_dateByAddingSeconds(const QDateTime &date, qint64 seconds);

// The traditional Chinese lunisolar calendar, shared by the process and
// made once. It is read-only: clone it to set a time. Nothing when ICU has
// no such calendar.
const icu::Calendar *rv_chineseCalendar();
// Stem-branch pairs of the Chinese year and month ("甲辰", "丙寅"), and of the
// day, counted in the sixty-day cycle from 1 October 1949 (甲子).
QString rv_HE_Y_DateString(const QDateTime &date);
QString rv_HE_M_DateString(const QDateTime &date);
QString rv_HE_D_DateString(const QDateTime &date);
// The Chinese month's name ("正月", "闰四月" in a leap month) and day's name
// ("初一" to "三十").
QString rv_L_M_DateString(const QDateTime &date);
QString rv_L_D_DateString(const QDateTime &date);
// The animal of the Chinese year ("龙").
QString rv_zodiac(const QDateTime &date);
