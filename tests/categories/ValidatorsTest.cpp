#include <gtest/gtest.h>

#include "CategoryVectors.h"
#include "Categories/RVValidators.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <functional>

namespace {

using Validator = std::function<bool(const QString &)>;

// Every sample of `valid` passes and none of `invalid` does.
void expectSamples(const char *name, const Validator &validator, const QStringList &valid, const QStringList &invalid)
{
    for (const QString &text : valid)
        EXPECT_TRUE(validator(text)) << name << " should accept \"" << text.toStdString() << "\"";
    for (const QString &text : invalid)
        EXPECT_FALSE(validator(text)) << name << " should refuse \"" << text.toStdString() << "\"";
}

QString u16(const char16_t *text)
{
    return QString::fromUtf16(text);
}

} // namespace

TEST(RvIdentifiers, UuidTimeStampAndMachineIdentity)
{
    static const QRegularExpression uuidShape(QStringLiteral(
        "^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        const QString uuid = rv_UUID();
        EXPECT_TRUE(uuidShape.match(uuid).hasMatch()) << uuid.toStdString();
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 200);

    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const QString stamp = rv_timeStamp();
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    EXPECT_EQ(stamp.size(), 13);
    EXPECT_GE(stamp.toLongLong(), before);
    EXPECT_LE(stamp.toLongLong(), after);

    EXPECT_EQ(rv_platformUuidFromMachineId("0123456789abcdef0123456789ABCDEF\n"),
              QStringLiteral("01234567-89AB-CDEF-0123-456789ABCDEF"));
    for (const char *bad : {"", "0123456789abcdef", "0123456789abcdef0123456789abcdeg",
                            "0123456789abcdef0123456789abcdef00"})
        EXPECT_FALSE(rv_platformUuidFromMachineId(bad).has_value()) << bad;
    // The machine's own identity, when it has one, is stable and well formed.
    if (const auto id = rv_platform_uuid()) {
        EXPECT_EQ(id->size(), 36);
        EXPECT_EQ(rv_platform_uuid(), id);
    }
}

TEST(RvRegexValidators, WholeTextMatchesWithUnicodeClasses)
{
    EXPECT_TRUE(rv_isValidateByRegex(QStringLiteral("abc"), QStringLiteral("[a-c]+")));
    // No anchors needed, and a partial match is not enough.
    EXPECT_FALSE(rv_isValidateByRegex(QStringLiteral("abcd"), QStringLiteral("[a-c]+")));
    EXPECT_FALSE(rv_isValidateByRegex(QStringLiteral("abc"), QStringLiteral("b")));
    // A pattern that does not compile matches nothing and raises nothing.
    for (const char *broken : {"(", "[a-", "a{-1,5}", "*", "\\", "(?<n", "a{5,1}"})
        EXPECT_FALSE(rv_isValidateByRegex(QStringLiteral("a"), QString::fromLatin1(broken))) << broken;
    // A pattern built to backtrack without end gives up instead of hanging.
    EXPECT_FALSE(rv_isValidateByRegex(QString(40, QLatin1Char('a')) + QLatin1Char('!'), QStringLiteral("(a+)+b")));
}

TEST(RvRegexValidators, EachFixedPatternOnValidAndInvalidSamples)
{
    expectSamples("mobile", rv_isMobileNumber,
                  {"13812345678", "013812345678", "8613812345678", "1795113812345678", "10000000000"},
                  {"", "1381234567", "138123456789", "23812345678", "+8613812345678", "138-1234-5678", "86 13812345678"});
    expectSamples("email", rv_isEmailAddress,
                  {"a@b.co", "first.last+tag@mail.example.test", "x_y-z@sub-domain.example.test", "o'neil@a.b",
                   QString::fromUtf8("用户@例子.测试")},
                  {"", "a@b", "@b.co", "a@.co", "a@b.", "a b@c.de", "a..b@c.de", "a@-b.co", "a@b-.co"});
    expectSamples("simple id", rv_simpleVerifyIdentityCardNum,
                  {"11010519491231002X", "110105194912310021", u16(u"\u0661\u0661\u0660\u0661\u0660\u0661000000000000")},
                  {"11010519491231002x", "1101051949123100", "11010519491231002XX", ""});
    expectSamples("car", rv_isCarNumber,
                  {u16(u"\u4eacA-12345"), u16(u"\u6caaB-C1D2\u5b66"), u16(u"\u7ca4z-____\u9fff")},
                  {u16(u"\u4eacA12345"), u16(u"AA-12345"), u16(u"\u4eac1-12345"), u16(u"\u4eacA-1234"), QString()});
    expectSamples("MAC", rv_isMacAddress, {"00:1A:2b:3C:4d:5E", "ff:ff:ff:ff:ff:ff"},
                  {"00-1A-2B-3C-4D-5E", "00:1A:2B:3C:4D", "00:1A:2B:3C:4D:5E:", "0g:1A:2B:3C:4D:5E"});
    expectSamples("URL", rv_isValidUrl, {"http://a.b", "https://example.test/x?y=1", "httphttp://a.b", "http:a.b"},
                  {"ftp://a.b", "http://nodot", "http://a .b", "https//a.b", ""});
    expectSamples("Chinese", rv_isValidChinese, {u16(u"\u4e2d\u6587"), u16(u"\u4e00\u9fa5")},
                  {u16(u"\u4e2da"), u16(u"\u9fa6"), u16(u"\u4e2d \u6587"), QString()});
    expectSamples("integer", rv_isInteger, {"1", "-1", "1234567890123", u16(u"1\u0662")},
                  {"0", "-0", "01", "+1", "1.0", "", "-"});
    expectSamples("positive", rv_isPositiveInteger, {"1", "99"}, {"0", "-1", "01"});
    expectSamples("negative", rv_isNegativeInteger, {"-1", "-99"}, {"0", "1", "-01", "--1"});
    expectSamples("non-positive", rv_Non_PositiveInteger, {"0", "-12"}, {"00", "12", "-0"});
    expectSamples("non-negative", rv_Non_NegativeInteger, {"0", "12"}, {"00", "-12", "012"});
    expectSamples("positive float", rv_PositiveFloat, {"1.5", "10.", "0.5", "0.05"},
                  {"0.0", "1", ".5", "-1.5", "00.5"});
    expectSamples("negative float", rv_NegativeFloat, {"-1.5", "-10.", "-0.5"}, {"-0.0", "1.5", "-1", "0.5"});
    expectSamples("postal code", rv_isValidPostalcode, {"100080", "999999"}, {"1000800", "012345", "10008", ""});
    expectSamples("tax number", rv_isValidTaxNo, {"123456789012345", "12345678901234X", "012345678901234"},
                  {"1234567890123", "12345678901234x", "1234567890123456"});
    expectSamples("letters", rv_isTheFirstLetterALetter, {"ab", "Z"}, {"a1", "", u16(u"\u00e9"), "a b"});
    expectSamples("blank", rv_isBlankSpace, {" ", "\n \t\r", u16(u"\u3000\u00a0\u2028")}, {"", " a ", "\n.\r"});
}

TEST(RvPasswordRules, ShortFormCountsLengthOnBothRoads)
{
    // Without the first-character rule, the class alone covers min to max.
    for (int length = 4; length <= 12; ++length) {
        const QString text(length, QLatin1Char('a'));
        EXPECT_EQ(rv_isValidWithMinLenth(text, 6, 10, false, false), length >= 6 && length <= 10) << length;
        EXPECT_EQ(rv_isValidWithMinLenth(text, 6, 10, false, true), length >= 6 && length <= 10) << length;
    }
    EXPECT_TRUE(rv_isValidWithMinLenth(QStringLiteral("_123456"), 6, 10, false, true));
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("1abcdef"), 6, 10, false, true));
    EXPECT_TRUE(rv_isValidWithMinLenth(QStringLiteral("1abcdef"), 6, 10, false, false));
    EXPECT_TRUE(rv_isValidWithMinLenth(u16(u"\u7528\u6237abc"), 2, 8, true, false));
    EXPECT_FALSE(rv_isValidWithMinLenth(u16(u"\u7528\u6237abc"), 2, 8, true, true));
    EXPECT_FALSE(rv_isValidWithMinLenth(u16(u"\u7528\u6237abc"), 2, 8, false, false));
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("ab-cd"), 2, 8, false, false));
    // Impossible bounds match nothing.
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("a"), 0, 5, false, true));
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("abc"), 5, 2, false, false));
}

TEST(RvPasswordRules, LongFormRequiresKindsAndTakesExtraCharactersLiterally)
{
    const std::optional<QString> none;
    EXPECT_TRUE(rv_isValidWithMinLenth(QStringLiteral("abc123"), 6, 12, false, true, true, none, false));
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("abcdef"), 6, 12, false, true, true, none, false));
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("123456"), 6, 12, false, true, true, none, false));
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("abc12"), 6, 12, false, true, true, none, false));
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("abc1234567890"), 6, 12, false, true, true, none, false));
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("1abcde"), 6, 12, false, true, true, none, true));
    EXPECT_TRUE(rv_isValidWithMinLenth(QStringLiteral("a1bcde"), 6, 12, false, true, true, none, true));
    EXPECT_TRUE(rv_isValidWithMinLenth(u16(u"\u5bc6\u78011a"), 4, 8, true, true, true, none, false));

    const std::optional<QString> extra = QStringLiteral("!@#-]^\\[&");
    EXPECT_TRUE(rv_isValidWithMinLenth(QStringLiteral("a1!@#-]"), 6, 12, false, true, true, extra, false));
    EXPECT_TRUE(rv_isValidWithMinLenth(QStringLiteral("a1^\\[&&"), 6, 12, false, true, true, extra, false));
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("a1*()%$"), 6, 12, false, true, true, extra, false));
    // Allowed characters cannot widen the class or add pattern text.
    const std::optional<QString> injected = QStringLiteral("]|.*[");
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("a1~~~~"), 6, 12, false, true, true, injected, false));
    const std::optional<QString> range = QStringLiteral("!-~");
    EXPECT_FALSE(rv_isValidWithMinLenth(QStringLiteral("a1%%%%"), 6, 12, false, true, true, range, false));
    EXPECT_TRUE(rv_isValidWithMinLenth(QStringLiteral("a1!-~!"), 6, 12, false, true, true, range, false));
}

TEST(RvIdentityNumbers, IndependentlyMadeNumbersAndTheirFlaws)
{
    const QJsonArray cards = categoryVectors("validators.json", "idCards");
    ASSERT_GT(cards.size(), 100);
    for (const QJsonValue &value : cards) {
        const QJsonObject card = value.toObject();
        const QString number = card.value("number").toString();
        EXPECT_EQ(rv_accurateVerifyIDCardNumber(number), card.value("valid").toBool()) << number.toStdString();
    }
    const QString valid = QStringLiteral("11010519491231002X");
    EXPECT_TRUE(rv_accurateVerifyIDCardNumber(valid));
    EXPECT_TRUE(rv_accurateVerifyIDCardNumber(QStringLiteral(" \t11010519491231002x\n")));
    EXPECT_FALSE(rv_accurateVerifyIDCardNumber(QStringLiteral("10010519491231002X")));  // region 10
    EXPECT_FALSE(rv_accurateVerifyIDCardNumber(QStringLiteral("11010517491231002X")));  // born 1749
    EXPECT_FALSE(rv_accurateVerifyIDCardNumber(QStringLiteral("11010519491331002X")));  // month 13
    EXPECT_FALSE(rv_accurateVerifyIDCardNumber(QStringLiteral("11010519490431002X")));  // 31 April
    EXPECT_FALSE(rv_accurateVerifyIDCardNumber(QStringLiteral("1101051949123100")));
    EXPECT_FALSE(rv_accurateVerifyIDCardNumber(QString()));
    EXPECT_FALSE(rv_accurateVerifyIDCardNumber(u16(u"\u0661\u0661010519491231002X")));
}

TEST(RvBankCards, LuhnOnIndependentlyMadeNumbers)
{
    for (const QJsonValue &value : categoryVectors("validators.json", "bankCards")) {
        const QJsonObject card = value.toObject();
        const QString number = card.value("number").toString();
        EXPECT_EQ(rv_bankCardluhmCheck(number), card.value("valid").toBool()) << number.toStdString();
    }
    EXPECT_TRUE(rv_bankCardluhmCheck(QStringLiteral("79927398713")));
    EXPECT_FALSE(rv_bankCardluhmCheck(QStringLiteral("79927398710")));
    EXPECT_TRUE(rv_bankCardluhmCheck(QStringLiteral("0")));
    EXPECT_FALSE(rv_bankCardluhmCheck(QString()));
    // A character that is no digit counts as 0 and keeps its place.
    EXPECT_EQ(rv_bankCardluhmCheck(QStringLiteral("7992739871x3")), rv_bankCardluhmCheck(QStringLiteral("799273987103")));
    EXPECT_FALSE(rv_bankCardluhmCheck(QString(1 << 20, QLatin1Char('9')) + QLatin1Char('1')));
}

TEST(RvIpAddresses, DottedQuadsOfAsciiDigitsUpTo255)
{
    expectSamples("IPv4", rv_isIPAddress,
                  {"255.255.255.255", "010.0.0.1", "0.0.0.0", "192.168.1.1", "001.002.003.004"},
                  {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1.2.3.", " 1.2.3.4", "1.2.3.4\n", "1..3.4", "1234.1.1.1",
                   "a.b.c.d", "-1.2.3.4", "", u16(u"\u0661.\u0661.\u0661.\u0661"), "999.1.1.1"});
}
