#include <QByteArray>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <limits>

#include "SearchDevicesFunc/DevicesManager.h"
#include "SearchDevicesFunc/SearchCodec.h"

using namespace SearchCodec;

namespace {

const QString kSource = QStringLiteral("192.168.7.21");

ParsedReply parse(const QByteArray &datagram, const QString &source = kSource)
{
    return parseSearchReply(datagram, source);
}

} // namespace

TEST(SearchProbe, IsTheFiftyBytesReceiversExpect)
{
    const QByteArray probe = buildSearchDevicesMessage();
    EXPECT_EQ(probe.toHex(),
              QByteArray("0000000000000000000000000000000e0000000046696e644d6f7276656c616e743a"
                         "00000000000000000000000000000000"));
    EXPECT_EQ(probe.size(), 50);
    EXPECT_EQ(DevicesManager::buildSearchDevicesMessage(), probe);
    EXPECT_TRUE(isSearchProbe(probe));
}

TEST(SearchProbe, IntToByteArrayWritesBigEndianAndAdvances)
{
    QByteArray buffer(8, '\x55');
    EXPECT_EQ(intTobyteArray(0x0102a3f4u, buffer, 2), 6);
    EXPECT_EQ(buffer.toHex(), QByteArray("55550102a3f45555"));
    // A position at the end grows the buffer instead of writing past it.
    EXPECT_EQ(intTobyteArray(0xffffffffu, buffer, 8), 12);
    EXPECT_EQ(buffer.toHex(), QByteArray("55550102a3f45555ffffffff"));
}

TEST(SearchProbe, RecognisesProbesOnly)
{
    QByteArray almost = buildSearchDevicesMessage();
    almost[11] = 1;
    EXPECT_FALSE(isSearchProbe(almost));
    EXPECT_FALSE(isSearchProbe(buildSearchDevicesMessage().left(49)));
    EXPECT_FALSE(isSearchProbe(QByteArray(51, '\0')));
    EXPECT_TRUE(isSearchProbe(QByteArray(50, '\0')));
    EXPECT_FALSE(isSearchProbe("X:Room A:8121:0:0:10100040:1e"));
}

TEST(SearchReplyFields, HexReaderKeepsTheLastEightDigitsAndSignExtends)
{
    EXPECT_EQ(replyHexValue(u"10100040"), 0x10100040);
    EXPECT_EQ(replyHexValue(u"10100040\n"), 0x10100040);
    EXPECT_EQ(replyHexValue(u"10100040\r\n"), 0x10100040);
    EXPECT_EQ(replyHexValue(u"1e"), 30);
    EXPECT_EQ(replyHexValue(u"FfAa"), 0xffaa);
    EXPECT_EQ(replyHexValue(u"40zz"), 0x40);
    EXPECT_EQ(replyHexValue(u"ffffffff"), -1);
    EXPECT_EQ(replyHexValue(u"80000000"), qint64(std::numeric_limits<qint32>::min()));
    EXPECT_EQ(replyHexValue(u"123456789"), 0x23456789);
    EXPECT_EQ(replyHexValue(u"1ffffffff"), -1);
    EXPECT_EQ(replyHexValue(u"fffffffffffffffffffffffffffffff0"), -16);
    // No "0x" and no white space are skipped.
    EXPECT_EQ(replyHexValue(u"0x40"), 0);
    EXPECT_EQ(replyHexValue(u" 40"), 0);
    EXPECT_EQ(replyHexValue(u""), 0);
    EXPECT_EQ(replyHexValue(u"-40"), 0);
    // Any non-ASCII character in the field makes it 0, even after the digits.
    EXPECT_EQ(replyHexValue(u"40\u00e9"), 0);
    EXPECT_EQ(replyHexValue(u"\uff14\uff10"), 0);
}

TEST(SearchReplyFields, DecimalReaderTakesTheLeadingNumber)
{
    EXPECT_EQ(replyDecimalValue(u"8121"), 8121);
    EXPECT_EQ(replyDecimalValue(u" 8121x"), 8121);
    EXPECT_EQ(replyDecimalValue(u"-5"), -5);
    EXPECT_EQ(replyDecimalValue(u"+7"), 7);
    EXPECT_EQ(replyDecimalValue(u"abc"), 0);
    EXPECT_EQ(replyDecimalValue(u""), 0);
    EXPECT_EQ(replyDecimalValue(u"- 5"), 0);
    EXPECT_EQ(replyDecimalValue(u"99999999999999999999999"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(replyDecimalValue(u"-99999999999999999999999"), std::numeric_limits<qint64>::min());
}

TEST(SearchReply, FullReplyFillsEveryField)
{
    const ParsedReply reply = parse("X:Room A:8121:0:0:10100040:1e");
    ASSERT_EQ(reply.status, ReplyStatus::Accepted);
    EXPECT_EQ(reply.device.mDevicename, QStringLiteral("Room A"));
    EXPECT_EQ(reply.device.mHostIp, kSource);
    EXPECT_EQ(reply.device.mPort, 8121);
    EXPECT_EQ(reply.device.mServer_features, 0x10100040);
    EXPECT_EQ(reply.device.mFps, 30);
    EXPECT_FALSE(reply.device.mUnReg);
}

TEST(SearchReply, ShortRepliesFillWhatTheyHave)
{
    EXPECT_EQ(parse("X:Room").status, ReplyStatus::TooFewFields);
    EXPECT_EQ(parse("Room").status, ReplyStatus::TooFewFields);
    EXPECT_EQ(parse("").status, ReplyStatus::TooFewFields);

    ParsedReply three = parse("X:Room:8121");
    ASSERT_EQ(three.status, ReplyStatus::Accepted);
    EXPECT_EQ(three.device.mServer_features, 0);
    EXPECT_EQ(three.device.mFps, 0);

    ParsedReply six = parse("X:Room:8121:0:0:40\n");
    ASSERT_EQ(six.status, ReplyStatus::Accepted);
    EXPECT_EQ(six.device.mServer_features, 0x40);
    EXPECT_EQ(six.device.mFps, 0);

    ParsedReply emptyName = parse("::::::");
    ASSERT_EQ(emptyName.status, ReplyStatus::Accepted);
    EXPECT_EQ(emptyName.device.mDevicename, QString());
    EXPECT_EQ(emptyName.device.mPort, 0);

    ParsedReply notANumber = parse("X:Room:port:0:0:zz:yy");
    ASSERT_EQ(notANumber.status, ReplyStatus::Accepted);
    EXPECT_EQ(notANumber.device.mPort, 0);
    EXPECT_EQ(notANumber.device.mServer_features, 0);
    EXPECT_EQ(notANumber.device.mFps, 0);

    // Fields beyond the seventh are not used.
    ParsedReply longer = parse("X:Room:1:0:0:40:1e:extra:more");
    ASSERT_EQ(longer.status, ReplyStatus::Accepted);
    EXPECT_EQ(longer.device.mFps, 30);
}

TEST(SearchReply, TheProbeItselfIsNotAReply)
{
    EXPECT_EQ(parse(buildSearchDevicesMessage()).status, ReplyStatus::TooFewFields);
}

TEST(SearchReply, SourceMustBeADottedIPv4Address)
{
    const QByteArray good("X:Room:8121:0:0:40:1e");
    EXPECT_EQ(parse(good, QString()).status, ReplyStatus::NotIPv4Source);
    EXPECT_EQ(parse(good, QStringLiteral("::1")).status, ReplyStatus::NotIPv4Source);
    EXPECT_EQ(parse(good, QStringLiteral("::ffff:10.0.0.1")).status, ReplyStatus::NotIPv4Source);
    EXPECT_EQ(parse(good, QStringLiteral("10.0.1")).status, ReplyStatus::NotIPv4Source);
    EXPECT_EQ(parse(good, QStringLiteral("10.0.0.256")).status, ReplyStatus::NotIPv4Source);
    EXPECT_EQ(parse(good, QStringLiteral("10.0.0.1")).status, ReplyStatus::Accepted);
}

TEST(SearchReply, TextMustBeValidUtf8)
{
    EXPECT_EQ(parse("X:\xff\xfe:8121:0:0:40:1e").status, ReplyStatus::NotUtf8);
    EXPECT_EQ(parse("X:Caf\xc3").status, ReplyStatus::NotUtf8);               // cut inside a character
    EXPECT_EQ(parse("X:\xc0\xaf:1:0:0:40:1e").status, ReplyStatus::NotUtf8);  // overlong form
    EXPECT_EQ(parse("X:\xed\xa0\x80:1:0:0:40:1e").status, ReplyStatus::NotUtf8);  // a surrogate
    EXPECT_EQ(parse("X:\xf4\x90\x80\x80:1").status, ReplyStatus::NotUtf8);    // beyond U+10FFFF

    const ParsedReply multilingual = parse("X:Caf\xc3\xa9 \xe4\xbc\x9a\xe8\xae\xae\xe5\xae\xa4:8121:0:0:40:1e");
    ASSERT_EQ(multilingual.status, ReplyStatus::Accepted);
    EXPECT_EQ(multilingual.device.mDevicename, QStringLiteral("Caf\u00e9 \u4f1a\u8bae\u5ba4"));

    // Non-ASCII in the feature field reads as 0, not as a partial number.
    const ParsedReply wideDigits = parse("X:Room:8121:0:0:40\xc3\xa9:1e");
    ASSERT_EQ(wideDigits.status, ReplyStatus::Accepted);
    EXPECT_EQ(wideDigits.device.mServer_features, 0);
}

TEST(SearchReply, HostileRepliesStayInsideTheirBytes)
{
    // A name with zero bytes inside is kept as sent.
    const ParsedReply zeros = parse(QByteArray("X:Ro\0om:1:0:0:40:1e", 19));
    ASSERT_EQ(zeros.status, ReplyStatus::Accepted);
    EXPECT_EQ(zeros.device.mDevicename, QString::fromUtf8("Ro\0om", 5));

    // The largest datagram UDP carries: only separators, or one long name.
    const ParsedReply separators = parse(QByteArray(65507, ':'));
    ASSERT_EQ(separators.status, ReplyStatus::Accepted);
    EXPECT_TRUE(separators.device.mDevicename.isEmpty());

    QByteArray longName = "X:" + QByteArray(65000, 'N') + ":1:0:0:" + QByteArray(400, 'f') + ":1e";
    const ParsedReply big = parse(longName);
    ASSERT_EQ(big.status, ReplyStatus::Accepted);
    EXPECT_EQ(big.device.mDevicename.size(), 65000);
    EXPECT_EQ(big.device.mServer_features, -1);

    EXPECT_EQ(parse(QByteArray(65507, 'A')).status, ReplyStatus::TooFewFields);

    // Random datagrams: whatever they are, an accepted one carries the sender.
    QRandomGenerator random(20240611);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes(int(random.bounded(0, 300)), '\0');
        for (char &byte : bytes) {
            const quint32 pick = random.bounded(0, 8);
            byte = pick == 0 ? ':' : pick == 1 ? char(random.bounded(0x30, 0x3a)) : char(random.bounded(0, 256));
        }
        const ParsedReply reply = parse(bytes);
        if (reply.status == ReplyStatus::Accepted) {
            EXPECT_EQ(reply.device.mHostIp, kSource);
        }
    }
}
