#include "Categories/RVDate.h"

#include "Categories/RVIcu_p.h"

#include <QDate>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/simpletz.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

namespace {

// ICU formatters are costly to build and not safe to share between
// threads, so each thread keeps the few it used last and rebuilds one only
// when its pattern, locale or zone changes (the log line formats one stamp
// per event with the same pattern).
class FormatterCache
{
public:
    icu::SimpleDateFormat *formatter(const QString &pattern, const icu::Locale &locale,
                                     std::unique_ptr<icu::TimeZone> zone)
    {
        icu::UnicodeString zoneId;
        zone->getID(zoneId);
        const std::string localeName = locale.getName();
        for (Entry &entry : m_entries) {
            if (entry.formatter && entry.pattern == pattern && entry.localeName == localeName && entry.zoneId == zoneId
                && entry.zoneOffset == zone->getRawOffset())
                return entry.formatter.get();
        }
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::SimpleDateFormat>(rvToIcu(pattern), locale, status);
        if (U_FAILURE(status))
            return nullptr;
        // Reading is strict: no out-of-range fields, no guessed separators.
        made->setLenient(false);
        Entry &slot = m_entries[m_next];
        m_next = (m_next + 1) % m_entries.size();
        slot.pattern = pattern;
        slot.localeName = localeName;
        slot.zoneId = zoneId;
        slot.zoneOffset = zone->getRawOffset();
        made->adoptTimeZone(zone.release());
        slot.formatter = std::move(made);
        return slot.formatter.get();
    }

private:
    struct Entry {
        QString pattern;
        std::string localeName;
        icu::UnicodeString zoneId;
        int32_t zoneOffset = 0;
        std::unique_ptr<icu::SimpleDateFormat> formatter;
    };
    std::array<Entry, 4> m_entries;
    std::size_t m_next = 0;
};

icu::SimpleDateFormat *cachedFormatter(const QString &pattern, const icu::Locale &locale,
                                       std::unique_ptr<icu::TimeZone> zone)
{
    thread_local FormatterCache cache;
    return cache.formatter(pattern, locale, std::move(zone));
}

// ICU knows the zones of the tz database by name; a zone that Qt knows only
// by a fixed offset ("UTC+08:00") becomes a zone of that offset.
std::unique_ptr<icu::TimeZone> icuZone(const std::optional<QTimeZone> &zone)
{
    if (!zone)
        return std::unique_ptr<icu::TimeZone>(icu::TimeZone::createDefault());
    const QByteArray id = zone->id();
    const icu::StringPiece idText(id.constData(), static_cast<int32_t>(id.size()));
    std::unique_ptr<icu::TimeZone> named(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(idText)));
    if (*named != icu::TimeZone::getUnknown() || !zone->isValid())
        return named;
    const int offsetMs = zone->offsetFromUtc(QDateTime::currentDateTimeUtc()) * 1000;
    return std::make_unique<icu::SimpleTimeZone>(offsetMs, rvToIcu(QString::fromLatin1(id)));
}

icu::Locale icuLocale(const std::optional<QString> &locale)
{
    if (!locale)
        return icu::Locale::getDefault();
    const QByteArray name = locale->toUtf8();
    if (name.contains('-')) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Locale tagged = icu::Locale::forLanguageTag(name.constData(), status);
        if (U_SUCCESS(status))
            return tagged;
    }
    return icu::Locale::createCanonical(name.constData());
}

const QString kIsoPattern = QStringLiteral("yyyy-MM-dd'T'HH:mm:ssZ");
constexpr const char *kIsoLocale = "en_US_POSIX";

QString formatted(const QDateTime &date, const QString &format, const icu::Locale &locale,
                  std::unique_ptr<icu::TimeZone> zone)
{
    if (!date.isValid())
        return QString();
    icu::SimpleDateFormat *formatter = cachedFormatter(format, locale, std::move(zone));
    if (!formatter)
        return QString();
    icu::UnicodeString out;
    formatter->format(static_cast<UDate>(date.toMSecsSinceEpoch()), out);
    return rvFromIcu(out);
}

QDateTime parsed(const QString &text, const QString &format, const icu::Locale &locale,
                 std::unique_ptr<icu::TimeZone> zone)
{
    icu::SimpleDateFormat *formatter = cachedFormatter(format, locale, std::move(zone));
    if (!formatter)
        return QDateTime();
    const icu::UnicodeString input = rvIcuView(text);
    icu::ParsePosition position(0);
    const UDate when = formatter->parse(input, position);
    // ICU stops where the pattern ends; a text that goes on is no date.
    if (position.getErrorIndex() >= 0 || position.getIndex() != input.length())
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(when));
}

// A calendar of the current kind, zone and locale, set to the date; nothing
// for an invalid date.
std::unique_ptr<icu::Calendar> currentCalendarAt(const QDateTime &date)
{
    if (!date.isValid())
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(
        icu::Calendar::createInstance(icu::TimeZone::createDefault(), icu::Locale::getDefault(), status));
    if (U_FAILURE(status))
        return nullptr;
    calendar->setTime(static_cast<UDate>(date.toMSecsSinceEpoch()), status);
    if (U_FAILURE(status))
        return nullptr;
    return calendar;
}

qint64 field(const QDateTime &date, UCalendarDateFields which)
{
    const auto calendar = currentCalendarAt(date);
    if (!calendar)
        return 0;
    UErrorCode status = U_ZERO_ERROR;
    const int32_t value = calendar->get(which, status);
    return U_SUCCESS(status) ? value : 0;
}

// The instant `date` moved to `milliseconds` since 1970, in the date's own
// time representation; invalid when that lies beyond what a date holds.
QDateTime movedTo(const QDateTime &date, qint64 milliseconds)
{
    qint64 delta = 0;
    if (__builtin_sub_overflow(milliseconds, date.toMSecsSinceEpoch(), &delta))
        return QDateTime();
    const QDateTime moved = date.addMSecs(delta);
    if (!moved.isValid() || moved.toMSecsSinceEpoch() != milliseconds)
        return QDateTime();
    return moved;
}

QDateTime calendarAdded(const QDateTime &date, UCalendarDateFields unit, qint64 amount)
{
    if (amount < std::numeric_limits<int32_t>::min() || amount > std::numeric_limits<int32_t>::max())
        return QDateTime();
    const auto calendar = currentCalendarAt(date);
    if (!calendar)
        return QDateTime();
    UErrorCode status = U_ZERO_ERROR;
    calendar->add(unit, static_cast<int32_t>(amount), status);
    const UDate when = calendar->getTime(status);
    // ICU keeps its instants far inside what 64-bit milliseconds hold.
    if (U_FAILURE(status) || !std::isfinite(when))
        return QDateTime();
    return movedTo(date, static_cast<qint64>(when));
}

QDateTime secondsAdded(const QDateTime &date, qint64 amount, qint64 secondsPerUnit)
{
    qint64 milliseconds = 0;
    if (!date.isValid() || __builtin_mul_overflow(amount, secondsPerUnit * 1000, &milliseconds))
        return QDateTime();
    qint64 target = 0;
    if (__builtin_add_overflow(date.toMSecsSinceEpoch(), milliseconds, &target))
        return QDateTime();
    return movedTo(date, target);
}

// The names of the traditional calendar.
constexpr std::array<const char *, 10> kStems = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
constexpr std::array<const char *, 12> kBranches = {"子", "丑", "寅", "卯", "辰", "巳",
                                                    "午", "未", "申", "酉", "戌", "亥"};
constexpr std::array<const char *, 12> kMonthNames = {"正月", "二月", "三月", "四月", "五月", "六月",
                                                      "七月", "八月", "九月", "十月", "冬月", "腊月"};
constexpr const char *kLeapMonthPrefix = "闰";
constexpr std::array<const char *, 30> kDayNames = {
    "初一", "初二", "初三", "初四", "初五", "初六", "初七", "初八", "初九", "初十",
    "十一", "十二", "十三", "十四", "十五", "十六", "十七", "十八", "十九", "二十",
    "廿一", "廿二", "廿三", "廿四", "廿五", "廿六", "廿七", "廿八", "廿九", "三十"};
constexpr std::array<const char *, 12> kAnimals = {"鼠", "牛", "虎", "兔", "龙", "蛇",
                                                   "马", "羊", "猴", "鸡", "狗", "猪"};

template <std::size_t N>
QString tableEntry(const std::array<const char *, N> &table, qint64 index)
{
    const qint64 size = static_cast<qint64>(N);
    return QString::fromUtf8(table[static_cast<std::size_t>(((index % size) + size) % size)]);
}

QString stemBranch(qint64 stem, qint64 branch)
{
    return tableEntry(kStems, stem) + tableEntry(kBranches, branch);
}

struct ChineseDate {
    qint64 cycleYear = 0;  // 1 to 60
    qint64 month = 0;      // 1 to 12; a leap month has the number it repeats
    bool leapMonth = false;
    qint64 day = 0;        // 1 to 30
};

std::optional<ChineseDate> chineseDate(const QDateTime &date)
{
    const icu::Calendar *shared = rv_chineseCalendar();
    if (!shared || !date.isValid())
        return std::nullopt;
    std::unique_ptr<icu::Calendar> calendar(shared->clone());
    if (!calendar)
        return std::nullopt;
    // The day a moment falls on is the user's; follow the current zone.
    calendar->adoptTimeZone(icu::TimeZone::createDefault());
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(static_cast<UDate>(date.toMSecsSinceEpoch()), status);
    ChineseDate out;
    out.cycleYear = calendar->get(UCAL_YEAR, status);
    out.month = calendar->get(UCAL_MONTH, status) + 1;
    out.leapMonth = calendar->get(UCAL_IS_LEAP_MONTH, status) != 0;
    out.day = calendar->get(UCAL_DATE, status);
    if (U_FAILURE(status))
        return std::nullopt;
    return out;
}

} // namespace

QString rv_stringWithFormat(const QDateTime &date, const QString &format)
{
    return formatted(date, format, icu::Locale::getDefault(), icuZone(std::nullopt));
}

QString rv_stringWithFormat(const QDateTime &date, const QString &format, const std::optional<QTimeZone> &timeZone,
                            const std::optional<QString> &locale)
{
    return formatted(date, format, icuLocale(locale), icuZone(timeZone));
}

QString rv_stringWithISOFormat(const QDateTime &date)
{
    return formatted(date, kIsoPattern, icu::Locale(kIsoLocale), icuZone(std::nullopt));
}

QDateTime rv_dateWithString(const QString &text, const QString &format)
{
    return parsed(text, format, icu::Locale::getDefault(), icuZone(std::nullopt));
}

QDateTime rv_dateWithString(const QString &text, const QString &format, const std::optional<QTimeZone> &timeZone,
                            const std::optional<QString> &locale)
{
    return parsed(text, format, icuLocale(locale), icuZone(timeZone));
}

QDateTime rv_dateWithISOFormatString(const QString &text)
{
    return parsed(text, kIsoPattern, icu::Locale(kIsoLocale), icuZone(std::nullopt));
}

qint64 rv_year(const QDateTime &date) { return field(date, UCAL_YEAR); }
qint64 rv_month(const QDateTime &date) { return date.isValid() ? field(date, UCAL_MONTH) + 1 : 0; }
qint64 rv_day(const QDateTime &date) { return field(date, UCAL_DATE); }
qint64 rv_hour(const QDateTime &date) { return field(date, UCAL_HOUR_OF_DAY); }
qint64 rv_minute(const QDateTime &date) { return field(date, UCAL_MINUTE); }
qint64 rv_second(const QDateTime &date) { return field(date, UCAL_SECOND); }
qint64 rv_nanosecond(const QDateTime &date) { return field(date, UCAL_MILLISECOND) * 1000000; }
qint64 rv_weekday(const QDateTime &date) { return field(date, UCAL_DAY_OF_WEEK); }
qint64 rv_weekdayOrdinal(const QDateTime &date) { return field(date, UCAL_DAY_OF_WEEK_IN_MONTH); }
qint64 rv_weekOfMonth(const QDateTime &date) { return field(date, UCAL_WEEK_OF_MONTH); }
qint64 rv_weekOfYear(const QDateTime &date) { return field(date, UCAL_WEEK_OF_YEAR); }
qint64 rv_yearForWeekOfYear(const QDateTime &date) { return field(date, UCAL_YEAR_WOY); }
bool rv_isLeapMonth(const QDateTime &date) { return field(date, UCAL_IS_LEAP_MONTH) != 0; }

qint64 rv_quarter(const QDateTime &date)
{
    if (!date.isValid())
        return 0;
    // Calendars of thirteen months put the last one in the fourth quarter.
    return std::min<qint64>(field(date, UCAL_MONTH) / 3 + 1, 4);
}

bool rv_isLeapYear(const QDateTime &date)
{
    // The local day as a day number, then its proleptic Gregorian year:
    // right whatever calendar the locale uses and before 1582 as well.
    const qint64 julianDay = field(date, UCAL_JULIAN_DAY);
    if (julianDay == 0)
        return false;
    return QDate::isLeapYear(QDate::fromJulianDay(julianDay).year());
}

bool rv_isToday(const QDateTime &date)
{
    if (!date.isValid())
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    constexpr qint64 kDayMs = 86400 * 1000LL;
    const qint64 apart = date.toMSecsSinceEpoch() - now.toMSecsSinceEpoch();
    return apart > -kDayMs && apart < kDayMs && rv_day(date) == rv_day(now);
}

bool isYesterday(const QDateTime &date)
{
    return rv_isToday(rv_dateByAddingDays(date, 1));
}

QDateTime rv_dateByAddingYears(const QDateTime &date, qint64 years) { return calendarAdded(date, UCAL_YEAR, years); }
QDateTime rv_dateByAddingMonths(const QDateTime &date, qint64 months) { return calendarAdded(date, UCAL_MONTH, months); }
QDateTime rv_dateByAddingWeeks(const QDateTime &date, qint64 weeks) { return calendarAdded(date, UCAL_WEEK_OF_YEAR, weeks); }
QDateTime rv_dateByAddingDays(const QDateTime &date, qint64 days) { return secondsAdded(date, days, 86400); }
QDateTime rv_dateByAddingHours(const QDateTime &date, qint64 hours) { return secondsAdded(date, hours, 3600); }
QDateTime rv_dateByAddingMinutes(const QDateTime &date, qint64 minutes) { return secondsAdded(date, minutes, 60); }
QDateTime rv_dateByAddingSeconds(const QDateTime &date, qint64 seconds) { return secondsAdded(date, seconds, 1); }

const icu::Calendar *rv_chineseCalendar()
{
    static const std::unique_ptr<icu::Calendar> calendar = []() -> std::unique_ptr<icu::Calendar> {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Calendar> made(
            icu::Calendar::createInstance(icu::TimeZone::createDefault(), icu::Locale("zh_CN@calendar=chinese"), status));
        if (U_FAILURE(status) || !made || qstrcmp(made->getType(), "chinese") != 0)
            return nullptr;
        return made;
    }();
    return calendar.get();
}

QString rv_HE_Y_DateString(const QDateTime &date)
{
    const auto chinese = chineseDate(date);
    if (!chinese)
        return QString();
    return stemBranch(chinese->cycleYear - 1, chinese->cycleYear - 1);
}

QString rv_HE_M_DateString(const QDateTime &date)
{
    const auto chinese = chineseDate(date);
    if (!chinese)
        return QString();
    // The year's stem fixes the stem of the first month (甲 and 己 years
    // begin with 丙寅, and so on); the stems then run on month by month, and
    // the first month is always the month of 寅.
    static constexpr std::array<qint64, 5> kFirstMonthStem = {2, 4, 6, 8, 0};
    const qint64 yearStem = ((chinese->cycleYear - 1) % 10 + 10) % 10;
    const qint64 first = kFirstMonthStem[static_cast<std::size_t>(yearStem % 5)];
    return stemBranch(first + chinese->month - 1, chinese->month + 1);
}

QString rv_HE_D_DateString(const QDateTime &date)
{
    // The sixty-day cycle has run without a break for millennia: count the
    // days from a known 甲子 day, 1 October 1949. A century-correction
    // formula would be right for 1600 to 2599 only.
    const qint64 julianDay = field(date, UCAL_JULIAN_DAY);
    if (julianDay == 0)
        return QString();
    static const qint64 kJiaZiDay = QDate(1949, 10, 1).toJulianDay();
    const qint64 place = ((julianDay - kJiaZiDay) % 60 + 60) % 60;
    return stemBranch(place, place);
}

QString rv_L_M_DateString(const QDateTime &date)
{
    const auto chinese = chineseDate(date);
    if (!chinese)
        return QString();
    const QString name = tableEntry(kMonthNames, chinese->month - 1);
    return chinese->leapMonth ? QString::fromUtf8(kLeapMonthPrefix) + name : name;
}

QString rv_L_D_DateString(const QDateTime &date)
{
    const auto chinese = chineseDate(date);
    if (!chinese)
        return QString();
    return tableEntry(kDayNames, chinese->day - 1);
}

QString rv_zodiac(const QDateTime &date)
{
    const auto chinese = chineseDate(date);
    if (!chinese)
        return QString();
    return tableEntry(kAnimals, chinese->cycleYear - 1);
}
