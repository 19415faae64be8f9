#include <gtest/gtest.h>

#include "CategoryVectors.h"
#include "PinnedDefaults.h"
#include "TestSupport.h"
#include "Categories/RVDate.h"
#include "Categories/RVTimer.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <limits>
#include <thread>
#include <unicode/calendar.h>
#include <vector>

namespace {

QDateTime instant(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
}

QDateTime utc(int year, int month, int day, int hour = 12, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

QDateTime at(const char *zone, int year, int month, int day, int hour = 12, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), QTimeZone(zone));
}

QString u16(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QByteArray zoneOf(const QJsonObject &entry)
{
    return entry.value("zone").toString().toLatin1();
}

} // namespace

TEST(RvDateComponents, MatchPythonInEveryZoneAndBothWeekRules)
{
    const QJsonArray entries = categoryVectors("dates.json", "components");
    ASSERT_GT(entries.size(), 400);
    for (const char *locale : {"en_US", "de_DE"}) {
        const bool us = qstrcmp(locale, "en_US") == 0;
        for (const QJsonValue &value : entries) {
            const QJsonObject e = value.toObject();
            const PinnedDefaults pinned(locale, zoneOf(e).constData());
            const QDateTime date = instant(e.value("ms").toInteger());
            const std::string where = e.value("iso").toString().toStdString() + " " + zoneOf(e).toStdString() + " " + locale;
            EXPECT_EQ(rv_year(date), e.value("year").toInt()) << where;
            EXPECT_EQ(rv_month(date), e.value("month").toInt()) << where;
            EXPECT_EQ(rv_day(date), e.value("day").toInt()) << where;
            EXPECT_EQ(rv_hour(date), e.value("hour").toInt()) << where;
            EXPECT_EQ(rv_minute(date), e.value("minute").toInt()) << where;
            EXPECT_EQ(rv_second(date), e.value("second").toInt()) << where;
            EXPECT_EQ(rv_nanosecond(date), e.value("millisecond").toInt() * 1000000LL) << where;
            EXPECT_EQ(rv_weekday(date), e.value("weekday").toInt()) << where;
            EXPECT_EQ(rv_weekdayOrdinal(date), e.value("weekdayOrdinal").toInt()) << where;
            EXPECT_EQ(rv_quarter(date), e.value("quarter").toInt()) << where;
            EXPECT_FALSE(rv_isLeapMonth(date)) << where;
            EXPECT_EQ(rv_weekOfYear(date), e.value(us ? "usWeekOfYear" : "isoWeekOfYear").toInt()) << where;
            EXPECT_EQ(rv_yearForWeekOfYear(date), e.value(us ? "usYearForWeekOfYear" : "isoYearForWeekOfYear").toInt())
                << where;
            EXPECT_EQ(rv_weekOfMonth(date), e.value(us ? "usWeekOfMonth" : "isoWeekOfMonth").toInt()) << where;
        }
    }
}

TEST(RvDateFormats, IsoFormatRoundTripsAgainstPythonInEveryZone)
{
    for (const QJsonValue &value : categoryVectors("dates.json", "components")) {
        const QJsonObject e = value.toObject();
        const PinnedDefaults pinned("de_DE", zoneOf(e).constData());
        const qint64 ms = e.value("ms").toInteger();
        const QString iso = e.value("iso").toString();
        EXPECT_EQ(rv_stringWithISOFormat(instant(ms)), iso);
        const QDateTime back = rv_dateWithISOFormatString(iso);
        ASSERT_TRUE(back.isValid()) << iso.toStdString();
        EXPECT_EQ(back.toMSecsSinceEpoch(), ms - ((ms % 1000) + 1000) % 1000) << iso.toStdString();
    }
    const PinnedDefaults pinned("en_US", "UTC");
    EXPECT_EQ(rv_stringWithISOFormat(utc(2001, 1, 1, 0)), QStringLiteral("2001-01-01T00:00:00+0000"));
    EXPECT_EQ(rv_dateWithISOFormatString(QStringLiteral("2001-01-01T00:00:00+0000")), utc(2001, 1, 1, 0));
    EXPECT_EQ(rv_dateWithISOFormatString(QStringLiteral("2001-01-01T08:00:00+0800")), utc(2001, 1, 1, 0));
}

TEST(RvDateFormats, MatchIcusOwnInterfaceInEveryLocaleAndZone)
{
    const PinnedDefaults pinned("en_US", "UTC");
    for (const QJsonValue &value : categoryVectors("dates.json", "localeFormats")) {
        const QJsonObject e = value.toObject();
        const QDateTime date = instant(e.value("ms").toInteger());
        const QString pattern = e.value("pattern").toString();
        const QString locale = e.value("locale").toString();
        const QString text = e.value("text").toString();
        EXPECT_EQ(rv_stringWithFormat(date, pattern, QTimeZone(zoneOf(e)), locale), text)
            << locale.toStdString() << " " << pattern.toStdString();
        // Written in a locale, read back in it (to the second the pattern holds).
        // A Chinese year names only its place in a sixty-year cycle.
        if (pattern == QLatin1String("yyyy-MM-dd'T'HH:mm:ssZ") && !locale.contains(QLatin1String("chinese"))) {
            const QDateTime back = rv_dateWithString(text, pattern, QTimeZone(zoneOf(e)), locale);
            EXPECT_EQ(back.toMSecsSinceEpoch() / 1000, date.toMSecsSinceEpoch() / 1000) << text.toStdString();
        }
    }
}

TEST(RvDateFormats, ZoneAndLocaleApplyOnlyWhenGiven)
{
    const PinnedDefaults pinned("en_US", "Asia/Shanghai");
    const QDateTime date = utc(2024, 7, 1, 0);
    const QString pattern = QStringLiteral("yyyy-MM-dd HH:mm zzz");
    EXPECT_EQ(rv_stringWithFormat(date, pattern, std::nullopt, std::nullopt), QStringLiteral("2024-07-01 08:00 GMT+8"));
    EXPECT_EQ(rv_stringWithFormat(date, pattern, QTimeZone("America/New_York"), std::nullopt),
              QStringLiteral("2024-06-30 20:00 EDT"));
    EXPECT_EQ(rv_stringWithFormat(date, QStringLiteral("yyyy-MM-dd HH:mm"), QTimeZone(5 * 3600 + 1800), std::nullopt),
              QStringLiteral("2024-07-01 05:30"));
    EXPECT_EQ(rv_stringWithFormat(date, QStringLiteral("MMMM"), std::nullopt, QStringLiteral("fr_FR")),
              QStringLiteral("juillet"));
    EXPECT_EQ(rv_stringWithFormat(date, QStringLiteral("y"), std::nullopt, QStringLiteral("th_TH")),
              QStringLiteral("2567"));
    EXPECT_EQ(rv_stringWithFormat(date, QStringLiteral("y"), std::nullopt, QStringLiteral("th-TH-u-ca-gregory")),
              QStringLiteral("2024"));
    EXPECT_EQ(rv_dateWithString(QStringLiteral("2024-07-01 08:00"), QStringLiteral("yyyy-MM-dd HH:mm")), date);
    EXPECT_EQ(rv_dateWithString(QStringLiteral("2024-07-01 08:00"), QStringLiteral("yyyy-MM-dd HH:mm"),
                                QTimeZone::utc(), std::nullopt),
              utc(2024, 7, 1, 8));
    EXPECT_TRUE(rv_stringWithFormat(QDateTime(), pattern, std::nullopt, std::nullopt).isNull());
}

TEST(RvDateFormats, ReadingIsStrictAndWhole)
{
    const PinnedDefaults pinned("en_US", "UTC");
    for (const char *bad : {"2001-01-01", "2001-01-01T00:00:00+0000x", "2001-13-01T00:00:00+0000",
                            "2001-02-29T00:00:00+0000", "2001-01-01T24:00:00+0000", "2001-01-01T00:61:00+0000",
                            "", "2001-01-01 00:00:00+0000", "garbage"})
        EXPECT_FALSE(rv_dateWithISOFormatString(QString::fromLatin1(bad)).isValid()) << bad;
    EXPECT_FALSE(rv_dateWithString(QStringLiteral("31/02/2024"), QStringLiteral("dd/MM/yyyy")).isValid());
    EXPECT_TRUE(rv_dateWithString(QStringLiteral("29/02/2024"), QStringLiteral("dd/MM/yyyy")).isValid());
    EXPECT_FALSE(rv_dateWithString(QStringLiteral("29/02/2024"), QStringLiteral("'unclosed")).isValid());
}

TEST(RvDateFormats, ThreadsShareTheIsoFormattersSafely)
{
    const PinnedDefaults pinned("en_US", "UTC");
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 300; ++i) {
                const QDateTime date = utc(1990 + t, 1 + i % 12, 1 + i % 28, i % 24, i % 60, t);
                const QString text = rv_stringWithISOFormat(date);
                if (rv_dateWithISOFormatString(text) != date)
                    ++wrong;
                if (rv_HE_D_DateString(date).size() != 2 || rv_zodiac(date).size() != 1)
                    ++wrong;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(RvDateTests, LeapYearsTodayAndYesterday)
{
    const PinnedDefaults pinned("en_US", "UTC");
    for (int year : {2000, 2024, 1600, 1584, -1, -5})
        EXPECT_TRUE(rv_isLeapYear(QDateTime(QDate(year, 3, 1), QTime(12, 0), QTimeZone::utc()))) << year;
    for (int year : {1900, 2023, 2100, 1700, 1, -2})
        EXPECT_FALSE(rv_isLeapYear(QDateTime(QDate(year, 3, 1), QTime(12, 0), QTimeZone::utc()))) << year;
    {
        // A calendar of another era numbering changes nothing.
        const PinnedDefaults thai("th_TH", "UTC");
        EXPECT_EQ(rv_year(utc(2024, 3, 1)), 2567);
        EXPECT_TRUE(rv_isLeapYear(utc(2024, 3, 1)));
    }

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime startOfToday(now.date(), QTime(0, 0), QTimeZone::utc());
    EXPECT_TRUE(rv_isToday(now));
    EXPECT_TRUE(rv_isToday(startOfToday));
    EXPECT_FALSE(rv_isToday(now.addSecs(-86400)));
    EXPECT_FALSE(rv_isToday(now.addSecs(86400)));
    EXPECT_TRUE(isYesterday(now.addSecs(-86400)));
    EXPECT_FALSE(isYesterday(now));
    EXPECT_FALSE(isYesterday(now.addSecs(-2 * 86400)));
    EXPECT_FALSE(rv_isToday(QDateTime()));
    EXPECT_FALSE(isYesterday(QDateTime()));
}

TEST(RvDateArithmetic, CalendarUnitsMatchPythonAndTimeUnitsAreExact)
{
    for (const QJsonValue &value : categoryVectors("dates.json", "arithmetic")) {
        const QJsonObject e = value.toObject();
        const PinnedDefaults pinned("en_US", zoneOf(e).constData());
        const QDateTime date = instant(e.value("ms").toInteger());
        EXPECT_EQ(rv_dateByAddingYears(date, e.value("years").toInt()).toMSecsSinceEpoch(),
                  e.value("plusYears").toInteger());
        EXPECT_EQ(rv_dateByAddingMonths(date, e.value("months").toInt()).toMSecsSinceEpoch(),
                  e.value("plusMonths").toInteger());
        EXPECT_EQ(rv_dateByAddingWeeks(date, e.value("weeks").toInt()).toMSecsSinceEpoch(),
                  e.value("plusWeeks").toInteger());
    }

    const PinnedDefaults pinned("en_US", "Europe/Berlin");
    EXPECT_EQ(rv_dateByAddingMonths(at("Europe/Berlin", 2024, 1, 31), 1), at("Europe/Berlin", 2024, 2, 29));
    EXPECT_EQ(rv_dateByAddingMonths(at("Europe/Berlin", 2023, 1, 31), 1), at("Europe/Berlin", 2023, 2, 28));
    EXPECT_EQ(rv_dateByAddingYears(at("Europe/Berlin", 2024, 2, 29), 1), at("Europe/Berlin", 2025, 2, 28));
    // Across the spring change the calendar keeps the clock time, the
    // plain units keep the seconds.
    const QDateTime before = at("Europe/Berlin", 2024, 3, 30, 12);
    EXPECT_EQ(rv_dateByAddingWeeks(before, 1), at("Europe/Berlin", 2024, 4, 6, 12));
    EXPECT_EQ(rv_dateByAddingDays(before, 1).toMSecsSinceEpoch() - before.toMSecsSinceEpoch(), 86400000);
    EXPECT_EQ(rv_dateByAddingDays(at("Europe/Berlin", 2024, 3, 31, 12), -1).toMSecsSinceEpoch(),
              at("Europe/Berlin", 2024, 3, 31, 12).toMSecsSinceEpoch() - 86400000);
    EXPECT_EQ(rv_dateByAddingHours(before, -3), before.addSecs(-3 * 3600));
    EXPECT_EQ(rv_dateByAddingMinutes(before, 90), before.addSecs(90 * 60));
    EXPECT_EQ(rv_dateByAddingSeconds(before, 1), before.addSecs(1));
    // The receiver stays as it was, and keeps its zone in the result.
    EXPECT_EQ(before, at("Europe/Berlin", 2024, 3, 30, 12));
    EXPECT_EQ(rv_dateByAddingDays(before, 2).timeZone(), before.timeZone());

    // Amounts and results beyond every calendar give an invalid date.
    constexpr qint64 huge = std::numeric_limits<qint64>::max();
    EXPECT_FALSE(rv_dateByAddingDays(before, huge).isValid());
    EXPECT_FALSE(rv_dateByAddingSeconds(before, std::numeric_limits<qint64>::min()).isValid());
    EXPECT_FALSE(rv_dateByAddingYears(before, qint64(1) << 40).isValid());
    EXPECT_FALSE(rv_dateByAddingMonths(before, huge).isValid());
    EXPECT_FALSE(rv_dateByAddingYears(QDateTime(), 1).isValid());
    EXPECT_FALSE(rv_dateByAddingDays(QDateTime(), 1).isValid());
    EXPECT_EQ(rv_year(QDateTime()), 0);
    EXPECT_EQ(rv_quarter(QDateTime()), 0);
}

TEST(RvChineseCalendar, KnownDatesOfTheTraditionalCalendar)
{
    const PinnedDefaults pinned("en_US", "Asia/Shanghai");
    ASSERT_NE(rv_chineseCalendar(), nullptr);
    EXPECT_EQ(rv_chineseCalendar(), rv_chineseCalendar());
    EXPECT_STREQ(rv_chineseCalendar()->getType(), "chinese");

    struct Known {
        QDate day;
        const char16_t *year, *animal, *month, *monthPair, *dayName;
    };
    const Known known[] = {
        // New Year's days.
        {QDate(1984, 2, 2), u"甲子", u"鼠", u"正月", u"丙寅", u"初一"},
        {QDate(2000, 2, 5), u"庚辰", u"龙", u"正月", u"戊寅", u"初一"},
        {QDate(2020, 1, 25), u"庚子", u"鼠", u"正月", u"戊寅", u"初一"},
        {QDate(2021, 2, 12), u"辛丑", u"牛", u"正月", u"庚寅", u"初一"},
        {QDate(2022, 2, 1), u"壬寅", u"虎", u"正月", u"壬寅", u"初一"},
        {QDate(2023, 1, 22), u"癸卯", u"兔", u"正月", u"甲寅", u"初一"},
        {QDate(2024, 2, 10), u"甲辰", u"龙", u"正月", u"丙寅", u"初一"},
        {QDate(2025, 1, 29), u"乙巳", u"蛇", u"正月", u"戊寅", u"初一"},
        // New Year's Eve and the festivals.
        {QDate(2024, 2, 9), u"癸卯", u"兔", u"腊月", u"乙丑", u"三十"},
        {QDate(2024, 6, 10), u"甲辰", u"龙", u"五月", u"庚午", u"初五"},
        {QDate(2024, 9, 17), u"甲辰", u"龙", u"八月", u"癸酉", u"十五"},
        {QDate(2023, 9, 29), u"癸卯", u"兔", u"八月", u"辛酉", u"十五"},
        // The last months of a 癸 and a 戊 year carry the stems 甲 and 乙.
        {QDate(2023, 12, 20), u"癸卯", u"兔", u"冬月", u"甲子", u"初八"},
        {QDate(2024, 1, 20), u"癸卯", u"兔", u"腊月", u"乙丑", u"初十"},
        {QDate(2019, 1, 10), u"戊戌", u"狗", u"腊月", u"乙丑", u"初五"},
        // Leap months repeat the month before them.
        {QDate(2020, 5, 23), u"庚子", u"鼠", u"闰四月", u"辛巳", u"初一"},
        {QDate(2020, 6, 12), u"庚子", u"鼠", u"闰四月", u"辛巳", u"廿一"},
        {QDate(2023, 3, 22), u"癸卯", u"兔", u"闰二月", u"乙卯", u"初一"},
        {QDate(2017, 7, 23), u"丁酉", u"鸡", u"闰六月", u"丁未", u"初一"},
    };
    for (const Known &k : known) {
        const QDateTime date(k.day, QTime(12, 0), QTimeZone("Asia/Shanghai"));
        const std::string where = k.day.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(rv_HE_Y_DateString(date), u16(k.year)) << where;
        EXPECT_EQ(rv_zodiac(date), u16(k.animal)) << where;
        EXPECT_EQ(rv_L_M_DateString(date), u16(k.month)) << where;
        EXPECT_EQ(rv_HE_M_DateString(date), u16(k.monthPair)) << where;
        EXPECT_EQ(rv_L_D_DateString(date), u16(k.dayName)) << where;
    }

    // The Chinese day turns at the user's midnight.
    const QDateTime eveInShanghai(QDate(2024, 2, 9), QTime(23, 30), QTimeZone("Asia/Shanghai"));
    EXPECT_EQ(rv_L_D_DateString(eveInShanghai), u16(u"三十"));
    {
        const PinnedDefaults tokyo("en_US", "Asia/Tokyo");
        EXPECT_EQ(rv_L_D_DateString(eveInShanghai), u16(u"初一"));
    }
    EXPECT_TRUE(rv_HE_Y_DateString(QDateTime()).isEmpty());
    EXPECT_TRUE(rv_L_M_DateString(QDateTime()).isEmpty());
}

TEST(RvChineseCalendar, DayPairsCountTheCycleForEveryYear)
{
    const PinnedDefaults pinned("en_US", "UTC");
    const QJsonArray pairs = categoryVectors("dates.json", "dayPairs");
    ASSERT_GT(pairs.size(), 30);
    for (const QJsonValue &value : pairs) {
        const QJsonObject e = value.toObject();
        EXPECT_EQ(rv_HE_D_DateString(instant(e.value("ms").toInteger())), e.value("pair").toString())
            << e.value("date").toString().toStdString();
    }
    // Sixty days apart, the same pair; one day on, the next pair.
    const QDateTime day = utc(2024, 3, 1);
    EXPECT_EQ(rv_HE_D_DateString(day), u16(u"甲子"));
    EXPECT_EQ(rv_HE_D_DateString(day.addDays(60)), u16(u"甲子"));
    EXPECT_EQ(rv_HE_D_DateString(day.addDays(1)), u16(u"乙丑"));
    EXPECT_EQ(rv_HE_D_DateString(day.addDays(-1)), u16(u"癸亥"));
    // Years far outside the Gregorian reform and the calendar's usual span.
    EXPECT_EQ(rv_HE_D_DateString(utc(2024, 3, 1).addDays(60 * 100000)), u16(u"甲子"));
    EXPECT_FALSE(rv_HE_Y_DateString(utc(2024, 3, 1).addYears(-3000)).isEmpty());
    EXPECT_TRUE(rv_HE_D_DateString(QDateTime()).isEmpty());
}

TEST(RvTimer, PauseResumeAndResumeLater)
{
    RVTimer timer(std::chrono::milliseconds(40), true);
    QSignalSpy fired(&timer, &RVTimer::fired);
    ASSERT_TRUE(fired.wait(10000));

    rv_pauseTimer(&timer);
    EXPECT_TRUE(timer.fireDate().isForever());
    const qsizetype whilePaused = fired.size();
    QTest::qWait(200); // for a firing that must not come
    EXPECT_EQ(fired.size(), whilePaused);

    // Resumed: due at once, then on its interval again.
    rv_resumeTimer(&timer);
    EXPECT_TRUE(timer.fireDate().hasExpired());
    ASSERT_TRUE(fired.wait(10000));
    const qsizetype afterResume = fired.size();
    EXPECT_TRUE(TestSupport::waitFor([&] { return fired.size() >= afterResume + 2; }));
    QElapsedTimer clock;

    rv_pauseTimer(&timer);
    const qsizetype paused = fired.size();
    clock.restart();
    rv_resumeTimerAfterTimeInterval(&timer, 0.3);
    ASSERT_TRUE(fired.wait(10000));
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_EQ(fired.size(), paused + 1);

    timer.invalidate();
    const qsizetype done = fired.size();
    rv_resumeTimer(&timer);
    rv_resumeTimerAfterTimeInterval(&timer, 0.0);
    rv_pauseTimer(&timer);
    QTest::qWait(150); // for a firing that must not come
    EXPECT_EQ(fired.size(), done);
    EXPECT_FALSE(timer.isValid());
    rv_pauseTimer(nullptr);
    rv_resumeTimer(nullptr);
}

TEST(RvTimer, OneShotTimersEndAfterFiringAndMayBeDeletedWhileFiring)
{
    QPointer<RVTimer> timer = new RVTimer(std::chrono::milliseconds(10), false);
    QSignalSpy fired(timer.data(), &RVTimer::fired);
    QObject::connect(timer, &RVTimer::fired, timer, [](RVTimer *t) {
        EXPECT_FALSE(t->isValid());
        t->deleteLater();
    });
    ASSERT_TRUE(fired.wait(10000));
    EXPECT_EQ(fired.size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return timer.isNull(); }, 10000));

    RVTimer later(std::chrono::milliseconds(10), false);
    QSignalSpy laterFired(&later, &RVTimer::fired);
    rv_resumeTimerAfterTimeInterval(&later, std::numeric_limits<double>::infinity());
    rv_resumeTimerAfterTimeInterval(&later, std::numeric_limits<double>::quiet_NaN());
    ASSERT_TRUE(laterFired.wait(10000));
    EXPECT_FALSE(later.isValid());
}
