// The video stream's packet format: header bytes, time stamps, Annex B
// conversion and the parameter-set payload.

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QtEndian>
#include <gtest/gtest.h>

#include "Mirror/H264Packet.h"
#include "Mirror/TickCount.h"
#include "TestSupport.h"
#include "VideoTestTools.h"

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

VTPSampleBuffer sample(const QByteArray &data)
{
    VTPSampleBuffer s;
    s.dataBuffer = data;
    return s;
}

} // namespace

TEST(VideoPacketHeader, FrameHeaderFieldByField)
{
    const quint64 ts = H264Packet::timestampForTickCount(123456);
    const QByteArray header = H264Packet::headerForPayload(1000, H264PacketTypeCodedFrame, ts);
    ASSERT_EQ(header.size(), 128);
    // Length 1000, type 257, zero pad, then the time stamp: 123 s and
    // 0.456 s as a 32-bit fraction.
    EXPECT_EQ(header.left(16), hex("e8030000010100007e6abc747b000000"));
    EXPECT_EQ(header.mid(16), QByteArray(112, '\0'));
}

TEST(VideoPacketHeader, ParameterSetHeaderAndPacketLayout)
{
    const QByteArray payload = hex("000000016742c01e0000000168ce3c80");
    const QByteArray packet = H264Packet::packetWithPayload(payload, H264PacketTypeParameterSets);
    ASSERT_EQ(packet.size(), 128 + payload.size());
    EXPECT_EQ(packet.left(8), hex("1000000000010000"));
    EXPECT_EQ(packet.mid(16, 112), QByteArray(112, '\0'));
    EXPECT_EQ(packet.mid(128), payload);
}

TEST(VideoPacketHeader, PythonStructReadsTheHeaderAsSpecified)
{
    const QString python = TestSupport::python3();
    if (!TestSupport::requireFacility("python3", !python.isEmpty()))
        return;
    const QByteArray header = H264Packet::headerForPayload(0x01020304, H264PacketTypeCodedFrame,
                                                           H264Packet::timestampForTickCount(86399999));
    QProcess p;
    p.start(python, {QStringLiteral("-c"), QStringLiteral(
        "import struct,sys\n"
        "d=sys.stdin.buffer.read()\n"
        "n,t,z,ts=struct.unpack('<IHHQ',d[:16])\n"
        "assert len(d)==128 and z==0 and d[16:]==bytes(112)\n"
        "print(n,t,ts>>32,ts&0xffffffff)\n")});
    ASSERT_TRUE(p.waitForStarted());
    p.write(header);
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    // 86399.999 s: the fraction 999 ms is 0.999 * 2^32 truncated.
    EXPECT_EQ(QString::fromLatin1(p.readAllStandardOutput()).trimmed(),
              QStringLiteral("16909060 257 86399 4290672328"));
}

TEST(VideoPacketTimestamp, SecondsAndFractionFromOneReading)
{
    EXPECT_EQ(H264Packet::timestampForTickCount(0), 0u);
    EXPECT_EQ(H264Packet::timestampForTickCount(1000), quint64(1) << 32);
    EXPECT_EQ(H264Packet::timestampForTickCount(500), quint64(0x80000000));
    // Across a second boundary the stamp only rises.
    const quint64 before = H264Packet::timestampForTickCount(1999);
    const quint64 after = H264Packet::timestampForTickCount(2000);
    EXPECT_LT(before, after);
    EXPECT_EQ(before >> 32, 1u);
    EXPECT_EQ(after, quint64(2) << 32);
}

TEST(VideoPacketTimestamp, LongUptimesKeepCounting)
{
    // Past 2^31 ms (24.8 days) and past 2^32 ms (49.7 days) the seconds go on.
    const quint64 pastSignBit = (quint64(1) << 31) + 250;
    EXPECT_EQ(H264Packet::timestampForTickCount(pastSignBit) >> 32, pastSignBit / 1000);
    const quint64 pastWrap = (quint64(1) << 32) + 1500;
    EXPECT_EQ(H264Packet::timestampForTickCount(pastWrap) >> 32, pastWrap / 1000);
    EXPECT_EQ(H264Packet::timestampForTickCount(pastWrap) & 0xffffffffu,
              H264Packet::timestampForTickCount(pastWrap % 1000) & 0xffffffffu);
}

TEST(VideoPacketTimestamp, TickCountIsTheMonotonicClock)
{
    // QElapsedTimer's reference is the same monotonic clock.
    QElapsedTimer timer;
    timer.start();
    const qint64 reference = timer.msecsSinceReference();
    const quint64 tick = GetTickCount64();
    EXPECT_LE(std::llabs(qint64(tick) - reference), 50);
    const quint32 narrow = GetTickCount();
    const quint64 wide = GetTickCount64();
    EXPECT_LE(quint32(quint32(wide) - narrow), 5u);
    quint64 last = GetTickCount64();
    for (int i = 0; i < 1000; ++i) {
        const quint64 now = GetTickCount64();
        ASSERT_GE(now, last);
        last = now;
    }
}

TEST(VideoPacketAnnexB, UnitsGetStartCodes)
{
    LogCapture log;
    H264Packet packet(sample(hex("00000005") + "ABCDE" + hex("00000003") + "xyz"));
    EXPECT_EQ(packet.data(), hex("00000001") + "ABCDE" + hex("00000001") + "xyz");
    EXPECT_EQ(packet.data().size(), 16);
    // The last unit ends exactly at the block's end: nothing to report.
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
}

TEST(VideoPacketAnnexB, MalformedBlocks)
{
    struct Case {
        const char *name;
        QByteArray block;
        QByteArray expected;
        const char *logLine; // null: nothing logged
    };
    const QList<Case> cases = {
        {"empty block", QByteArray(), QByteArray(), nullptr},
        {"one byte", hex("00"), QByteArray(), "bufferoffset ==== 0  totalLen 1"},
        {"three bytes", hex("000000"), QByteArray(), "bufferoffset ==== 0  totalLen 3"},
        {"length field only", hex("00000000"), QByteArray(), "bufferoffset ==== 0  totalLen 4"},
        {"zero-length unit then a unit", hex("00000000") + hex("00000002") + "ok",
         hex("00000001") + hex("00000001") + "ok", nullptr},
        {"length past the end", hex("00000002") + "ab" + hex("000000ff") + "cd",
         hex("00000001") + "ab", "bufferoffset ==== 6  totalLen 12"},
        {"huge length", hex("ffffffff") + "abcdef", QByteArray(), "bufferoffset ==== 0  totalLen 10"},
        {"trailing bytes", hex("00000001") + "a" + hex("0000"), hex("00000001") + "a",
         "bufferoffset ==== 5  totalLen 7"},
    };
    for (const Case &c : cases) {
        LogCapture log;
        H264Packet packet(sample(c.block));
        EXPECT_EQ(packet.data(), c.expected) << c.name;
        if (c.logLine)
            EXPECT_EQ(log.lines(), QStringList{QString::fromLatin1(c.logLine)}) << c.name;
        else
            EXPECT_TRUE(log.lines().isEmpty()) << c.name;
    }
}

TEST(VideoPacketParameterSets, SpsThenPpsOrNothing)
{
    VTPSampleBuffer s;
    s.parameterSets = {hex("6742c01e"), hex("68ce3c80")};
    H264Packet packet;
    packet.packetizeSPS_PPS(s);
    EXPECT_EQ(packet.data(), hex("000000016742c01e0000000168ce3c80"));

    for (const QList<QByteArray> &sets :
         {QList<QByteArray>{}, QList<QByteArray>{hex("6742")}, QList<QByteArray>{QByteArray(), hex("68")}}) {
        VTPSampleBuffer missing;
        missing.parameterSets = sets;
        H264Packet empty;
        empty.packetizeSPS_PPS(missing);
        EXPECT_TRUE(empty.data().isEmpty());
        // Still a packet: a header with length 0.
        EXPECT_EQ(H264Packet::packetWithPayload(empty.data(), H264PacketTypeParameterSets).size(), 128);
    }
}
