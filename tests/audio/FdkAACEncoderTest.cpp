// The AAC-ELD encoder: its stream configuration, the chunking of PCM into
// frames, what happens when encoding fails, and an independent decode of the
// stream it makes.

#include <gtest/gtest.h>

#include "AudioAacDecoder.h"
#include "AudioTestSupport.h"
#include "Mirror/FdkAACEncoder.h"

namespace {

class CollectingDelegate : public FdkAACEncoderDelegate {
public:
    void gotAACEncodedData(const QByteArray &data) override { frames.append(data); }
    QList<QByteArray> frames;
};

TEST(FdkAACEncoder, SetUpAnnouncesAacEldStereo44100With480SampleFrames)
{
    FdkAACEncoder encoder;
    ASSERT_TRUE(encoder.isReady());
    EXPECT_EQ(encoder.frameLength(), 480);
    // The configuration a receiver of the cast's audio format decodes with:
    // no low-delay SBR, no resilience flags.
    EXPECT_EQ(encoder.audioSpecificConfig().toHex(), AudioAacDecoder::castAudioSpecificConfig().toHex());
}

TEST(FdkAACEncoder, EncodesOnlyWholeFramesAndKeepsTheRest)
{
    FdkAACEncoder encoder;
    CollectingDelegate delegate;
    encoder.setDelegate(&delegate);
    const QByteArray pcm = AudioTest::stereoTone(4000, 1000, 1000);

    encoder.encode(pcm.left(1919));
    EXPECT_EQ(delegate.frames.size(), 0);
    EXPECT_EQ(encoder.pcmData().size(), 1919);

    encoder.encode(pcm.mid(1919, 1));
    EXPECT_EQ(delegate.frames.size(), 1);
    EXPECT_TRUE(encoder.pcmData().isEmpty());

    encoder.encode(pcm.mid(1920, 5000));
    EXPECT_EQ(delegate.frames.size(), 3);
    EXPECT_EQ(encoder.pcmData().size(), 1160);
    for (const QByteArray &frame : std::as_const(delegate.frames)) {
        EXPECT_GT(frame.size(), 0);
        EXPECT_LE(frame.size(), 2036);
    }
}

TEST(FdkAACEncoder, AChunkTheEncoderRefusesIsDroppedInsteadOfPilingUp)
{
    FdkAACEncoder encoder;
    CollectingDelegate delegate;
    encoder.setDelegate(&delegate);
    encoder.finish(); // from here on every encode call fails

    const QByteArray pcm = AudioTest::stereoTone(2400, 1000, 1000);
    for (int i = 0; i < 10; ++i)
        encoder.encode(pcm);
    EXPECT_TRUE(delegate.frames.isEmpty());
    // 9600 bytes a call: five whole chunks are tried and dropped each time,
    // whatever is left waits; it never grows.
    EXPECT_LT(encoder.pcmData().size(), 1920);
}

TEST(FdkAACEncoder, ASetUpStepThatFailsLeavesTheEncoderUnusable)
{
    FdkAACEncoder::Parameters parameters;
    parameters.samplerate = 12345;
    FdkAACEncoder encoder(parameters);
    EXPECT_FALSE(encoder.isReady());

    FdkAACEncoder::Parameters tooManyChannels;
    tooManyChannels.channel = 9;
    FdkAACEncoder other(tooManyChannels);
    EXPECT_FALSE(other.isReady());
}

TEST(FdkAACEncoder, AToneDecodesWithLibavcodecToTheSameChannelsFrameLengthAndFrequencies)
{
    FdkAACEncoder encoder;
    CollectingDelegate delegate;
    encoder.setDelegate(&delegate);
    // One second, 1 kHz on the left and 2.5 kHz on the right, fed in the
    // odd-sized pieces a capture delivers.
    const QByteArray pcm = AudioTest::stereoTone(44100, 1000, 2500);
    for (qsizetype at = 0; at < pcm.size(); at += 4410)
        encoder.encode(pcm.mid(at, 4410));
    ASSERT_EQ(delegate.frames.size(), 44100 / 480);

    AudioAacDecoder decoder(encoder.audioSpecificConfig());
    ASSERT_TRUE(decoder.isOpen()) << decoder.openError().toStdString();
    for (const QByteArray &frame : std::as_const(delegate.frames))
        ASSERT_TRUE(decoder.decode(frame));

    EXPECT_EQ(decoder.sampleRate(), 44100);
    EXPECT_EQ(decoder.channels(), 2);
    ASSERT_FALSE(decoder.frameSizes().isEmpty());
    for (int size : decoder.frameSizes())
        EXPECT_EQ(size, 480);

    const QVector<float> left = AudioTest::settled(decoder.channelSamples(0));
    const QVector<float> right = AudioTest::settled(decoder.channelSamples(1));
    EXPECT_NEAR(AudioTest::dominantFrequency(left, 44100), 1000, 20);
    EXPECT_NEAR(AudioTest::dominantFrequency(right, 44100), 2500, 20);
    // Amplitude 0.4 gives an RMS of about 0.28 after a faithful round trip.
    EXPECT_NEAR(AudioTest::rms(left), 0.4 / std::sqrt(2.0), 0.05);
    EXPECT_NEAR(AudioTest::rms(right), 0.4 / std::sqrt(2.0), 0.05);
}

} // namespace
