#include <gtest/gtest.h>

#include "PinnedDefaults.h"
#include "Categories/RVArray.h"
#include "Categories/RVDate.h"
#include "Categories/RVString.h"

#include <QDateTime>
#include <QTimeZone>
#include <atomic>
#include <limits>
#include <thread>
#include <vector>
#include <memory>
#include <unicode/locid.h>
#include <unicode/timezone.h>

TEST(RvStringByTrim, RemovesUnicodeWhiteSpaceAtBothEndsOnly)
{
    EXPECT_EQ(rv_stringByTrim(QStringLiteral("  \t\n a b \r\n")), QStringLiteral("a b"));
    EXPECT_EQ(rv_stringByTrim(QString::fromUtf16(u"\u00A0\u2003x\u3000\u0085")), QStringLiteral("x"));
    EXPECT_EQ(rv_stringByTrim(QStringLiteral(" \t\r\n ")), QString());
    EXPECT_TRUE(rv_stringByTrim(QStringLiteral(" \t ")).isEmpty());
    EXPECT_EQ(rv_stringByTrim(QStringLiteral("a  \t b")), QStringLiteral("a  \t b"));
    // Zero-width space is not white space by the Unicode set.
    EXPECT_EQ(rv_stringByTrim(QString::fromUtf16(u"\u200Bx")), QString::fromUtf16(u"\u200Bx"));
}

TEST(RvIsEmpty, NilNonTextEmptyAndBlankTextsAreEmpty)
{
    EXPECT_TRUE(rv_isEmpty(QVariant()));
    EXPECT_TRUE(rv_isEmpty(QVariant(5)));
    EXPECT_TRUE(rv_isEmpty(QVariant(QByteArray("a"))));
    EXPECT_TRUE(rv_isEmpty(QVariant(QStringList{QStringLiteral("a")})));
    EXPECT_TRUE(rv_isEmpty(QVariant(QString())));
    EXPECT_TRUE(rv_isEmpty(QVariant(QStringLiteral(" \t\n\r"))));
    EXPECT_TRUE(rv_isEmpty(QString()));
    EXPECT_TRUE(rv_isEmpty(QStringLiteral("")));
    EXPECT_TRUE(rv_isEmpty(QString::fromUtf16(u"\u2028\u00A0 ")));
    EXPECT_TRUE(rv_isEmpty(static_cast<const char *>(nullptr)));
    EXPECT_TRUE(rv_isEmpty(" \n"));

    EXPECT_FALSE(rv_isEmpty(QVariant(QStringLiteral(" a "))));
    EXPECT_FALSE(rv_isEmpty(QStringLiteral("   x   ")));
    EXPECT_FALSE(rv_isEmpty("."));
}

TEST(RvObjectOrNilAtIndex, AnswersNothingFromTheCountOn)
{
    const QVariantList array{1, QStringLiteral("two"), 3.0};
    ASSERT_TRUE(rv_objectOrNilAtIndex(array, 0).has_value());
    EXPECT_EQ(rv_objectOrNilAtIndex(array, 0)->toInt(), 1);
    EXPECT_EQ(rv_objectOrNilAtIndex(array, 2)->toDouble(), 3.0);
    EXPECT_FALSE(rv_objectOrNilAtIndex(array, 3).has_value());
    EXPECT_FALSE(rv_objectOrNilAtIndex(array, std::numeric_limits<quint64>::max()).has_value());
    // Indices beyond a signed size must not wrap round to valid ones.
    EXPECT_FALSE(rv_objectOrNilAtIndex(array, quint64(1) << 63).has_value());
    EXPECT_FALSE(rv_objectOrNilAtIndex(QStringList(), 0).has_value());
    EXPECT_EQ(rv_objectOrNilAtIndex(QStringList{QStringLiteral("en"), QStringLiteral("zh")}, 1),
              std::optional<QString>(QStringLiteral("zh")));
}

namespace {

const QString kLogStampFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss SSS");

QDateTime utc(int year, int month, int day, int hour, int minute, int second, int ms)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), QTimeZone::utc());
}

} // namespace

TEST(RvStringWithFormat, LogStampIsLocalTimeWithMilliseconds)
{
    PinnedDefaults pinned("en_US_POSIX", "Asia/Shanghai");
    EXPECT_EQ(rv_stringWithFormat(utc(2024, 2, 29, 15, 4, 5, 7), kLogStampFormat), QStringLiteral("2024-02-29 23:04:05 007"));
    // Milliseconds are cut, never rounded up into the next second.
    EXPECT_EQ(rv_stringWithFormat(utc(2023, 12, 31, 15, 59, 59, 999), kLogStampFormat),
              QStringLiteral("2023-12-31 23:59:59 999"));
    // Same instant, same text, whatever zone the QDateTime carries.
    const QDateTime instant = utc(2024, 7, 1, 0, 0, 0, 120);
    EXPECT_EQ(rv_stringWithFormat(instant.toTimeZone(QTimeZone("America/New_York")), kLogStampFormat),
              QStringLiteral("2024-07-01 08:00:00 120"));
}

TEST(RvStringWithFormat, FollowsTheDefaultZoneAcrossDaylightSaving)
{
    PinnedDefaults pinned("en_US_POSIX", "Europe/Berlin");
    EXPECT_EQ(rv_stringWithFormat(utc(2024, 3, 31, 0, 59, 0, 0), kLogStampFormat), QStringLiteral("2024-03-31 01:59:00 000"));
    EXPECT_EQ(rv_stringWithFormat(utc(2024, 3, 31, 1, 0, 0, 0), kLogStampFormat), QStringLiteral("2024-03-31 03:00:00 000"));
}

TEST(RvStringWithFormat, UsesTheCurrentLocalesDigitsAndCalendar)
{
    {
        PinnedDefaults pinned("ar_EG", "UTC");
        const QString text = rv_stringWithFormat(utc(2024, 1, 2, 3, 4, 5, 6), kLogStampFormat);
        // Arabic-Indic digits: 2024 is U+0662 U+0660 U+0662 U+0664.
        EXPECT_TRUE(text.contains(QString::fromUtf16(u"\u0662\u0660\u0662\u0664"))) << text.toStdString();
    }
    {
        PinnedDefaults pinned("th_TH", "UTC");
        // The Thai locale counts years in the Buddhist era.
        EXPECT_TRUE(rv_stringWithFormat(utc(2024, 1, 2, 3, 4, 5, 6), QStringLiteral("yyyy")).endsWith(QStringLiteral("2567")));
    }
    {
        // A change of locale or zone is seen by the next call on the same thread.
        PinnedDefaults pinned("en_US_POSIX", "UTC");
        EXPECT_EQ(rv_stringWithFormat(utc(2024, 1, 2, 3, 4, 5, 6), kLogStampFormat), QStringLiteral("2024-01-02 03:04:05 006"));
    }
}

TEST(RvStringWithFormat, ThreadsFormatAtTheSameTime)
{
    PinnedDefaults pinned("en_US_POSIX", "UTC");
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 300; ++i) {
                const QDateTime date = utc(2020 + t, 1 + i % 12, 1 + i % 28, i % 24, i % 60, t, i % 1000);
                const QString expected = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d %03d", 2020 + t, 1 + i % 12,
                                                           1 + i % 28, i % 24, i % 60, t, i % 1000);
                if (rv_stringWithFormat(date, kLogStampFormat) != expected)
                    ++wrong;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(RvStringWithFormat, InvalidDateGivesNullText)
{
    PinnedDefaults pinned("en_US_POSIX", "UTC");
    EXPECT_TRUE(rv_stringWithFormat(QDateTime(), kLogStampFormat).isNull());
    // Quoted literals and other TR35 letters pass through ICU.
    EXPECT_EQ(rv_stringWithFormat(utc(2001, 1, 1, 0, 0, 0, 0), QStringLiteral("yyyy-MM-dd'T'HH:mm:ssZ")),
              QStringLiteral("2001-01-01T00:00:00+0000"));
}
