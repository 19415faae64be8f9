// The RTP packet of one audio frame, byte for byte.

#include <gtest/gtest.h>

#include "AudioRtpReceiver.h"
#include "Mirror/AudioRtpPacket.h"

namespace {

TEST(AudioRtpPacket, HeaderIsVersionTwoPayloadType96BigEndianFieldsAndFixedSource)
{
    const QByteArray frame = QByteArray::fromHex("a1b2c3");
    const std::optional<QByteArray> first = AudioRtpPacket::pack(0, 0x12345678, frame);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->toHex(), QByteArray("806000001234567801000000a1b2c3"));

    const std::optional<QByteArray> second = AudioRtpPacket::pack(1, 0xfedcba98, frame);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->left(12).toHex(), QByteArray("80600001fedcba9801000000"));

    const std::optional<QByteArray> last = AudioRtpPacket::pack(65535, 0, frame);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->mid(2, 2).toHex(), QByteArray("ffff"));
    // The receiver emulator reads it back the same way.
    EXPECT_TRUE(AudioRtpReceiver::headerProblem(*first).isEmpty());
}

TEST(AudioRtpPacket, PayloadLimitIsWhatFitsA2048ByteDatagram)
{
    const std::optional<QByteArray> largest = AudioRtpPacket::pack(7, 1, QByteArray(2036, 'x'));
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->size(), 2048);
    EXPECT_EQ(largest->mid(12), QByteArray(2036, 'x'));

    EXPECT_FALSE(AudioRtpPacket::pack(7, 1, QByteArray(2037, 'x')));
    EXPECT_FALSE(AudioRtpPacket::pack(7, 1, QByteArray()));
}

TEST(AudioRtpPacket, EmulatorRejectsWhatAReceiverWouldNot)
{
    QByteArray good = *AudioRtpPacket::pack(3, 3, QByteArray("ab"));
    QByteArray wrongVersion = good;
    wrongVersion[0] = char(0x90);
    QByteArray wrongType = good;
    wrongType[1] = char(0xe0);
    QByteArray wrongSource = good;
    wrongSource[11] = 1;
    EXPECT_FALSE(AudioRtpReceiver::headerProblem(wrongVersion).isEmpty());
    EXPECT_FALSE(AudioRtpReceiver::headerProblem(wrongType).isEmpty());
    EXPECT_FALSE(AudioRtpReceiver::headerProblem(wrongSource).isEmpty());
    EXPECT_FALSE(AudioRtpReceiver::headerProblem(good.left(12)).isEmpty());
}

} // namespace
