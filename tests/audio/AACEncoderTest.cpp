// The AAC-LC encoder with its ADTS header: the header bytes, and a stream of
// ADTS frames that an independent decoder accepts.

#include <gtest/gtest.h>

#include <QMutex>
#include <QTemporaryDir>

#include "AudioAacDecoder.h"
#include "AudioTestSupport.h"
#include "Mirror/AACEncoder.h"
#include "TestSupport.h"

namespace {

class CollectingDelegate : public AACEncoderDelegate {
public:
    void gotAACEncodedData(const QByteArray &data, qint64 timestamp, const OptionalTavlinError &error) override
    {
        QMutexLocker locker(&mutex);
        results.append({data, timestamp, error});
    }
    struct Result {
        QByteArray data;
        qint64 timestamp;
        OptionalTavlinError error;
    };
    int count()
    {
        QMutexLocker locker(&mutex);
        return int(results.size());
    }
    QMutex mutex;
    QList<Result> results;
};

TEST(AACEncoder, AdtsHeaderCarriesLengthRateAndTheEncodersChannels)
{
    AACEncoder encoder;
    // Stereo before the first buffer and for stereo sound.
    EXPECT_EQ(encoder.adtsDataForPacketLength(100).toHex(), QByteArray("fff950800d7ffc"));
    // The 13-bit length field at its limit.
    EXPECT_EQ(encoder.adtsDataForPacketLength(8191 - 7).toHex(), QByteArray("fff95083fffffc"));

    CollectingDelegate delegate;
    AACEncoder mono;
    mono.setDelegate(&delegate);
    AudioSampleBuffer buffer;
    buffer.channels = 1;
    buffer.data = QByteArray(2048 * 2, '\0');
    mono.encode(buffer);
    mono.finish();
    EXPECT_EQ(mono.adtsDataForPacketLength(100).toHex(), QByteArray("fff950400d7ffc"));
}

TEST(AACEncoder, EachBufferGivesOnePacketThatDecodesAsAdts)
{
    CollectingDelegate delegate;
    AACEncoder encoder;
    encoder.setDelegate(&delegate);
    const int packets = 40;
    for (int i = 0; i < packets; ++i) {
        AudioSampleBuffer buffer;
        buffer.data = AudioTest::stereoTone(1024, 1000, 3000, 44100, i * 1024);
        buffer.presentationTime = 1000 + i;
        encoder.encode(buffer);
    }
    ASSERT_TRUE(TestSupport::waitFor([&] { return delegate.count() == packets; }));

    QByteArray adts;
    for (int i = 0; i < packets; ++i) {
        const auto &result = delegate.results[i];
        EXPECT_EQ(result.timestamp, 1000 + i);
        ASSERT_FALSE(result.error) << i;
        ASSERT_GT(result.data.size(), 0);
        ASSERT_LE(result.data.size(), AACEncoder::kAacBufferSize);
        adts += encoder.adtsDataForPacketLength(result.data.size()) + result.data;
    }

    // ffprobe reads the frames as ADTS: AAC-LC, 44100 Hz, two channels.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("tone.aac")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(adts);
    file.close();
    bool ok = false;
    const QByteArray probe = AudioTest::run(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
         QStringLiteral("stream=codec_name,profile,sample_rate,channels"), QStringLiteral("-of"),
         QStringLiteral("default=noprint_wrappers=1"), file.fileName()},
        &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(probe.contains("codec_name=aac")) << probe.toStdString();
    EXPECT_TRUE(probe.contains("profile=LC")) << probe.toStdString();
    EXPECT_TRUE(probe.contains("sample_rate=44100")) << probe.toStdString();
    EXPECT_TRUE(probe.contains("channels=2")) << probe.toStdString();

    // And the raw packets decode to the tone.
    AudioAacDecoder decoder(QByteArray::fromHex("1210"));
    for (const auto &result : std::as_const(delegate.results))
        decoder.decode(result.data);
    EXPECT_EQ(decoder.channels(), 2);
    EXPECT_NEAR(AudioTest::dominantFrequency(AudioTest::settled(decoder.channelSamples(0)), 44100), 1000, 20);
    EXPECT_NEAR(AudioTest::dominantFrequency(AudioTest::settled(decoder.channelSamples(1)), 44100), 3000, 20);
}

TEST(AACEncoder, TooLittleSoundForAPacketIsReportedAsAnError)
{
    CollectingDelegate delegate;
    AACEncoder encoder;
    encoder.setDelegate(&delegate);
    AudioSampleBuffer buffer;
    buffer.data = AudioTest::stereoTone(100, 1000, 1000);
    encoder.encode(buffer);
    ASSERT_TRUE(TestSupport::waitFor([&] { return delegate.count() == 1; }));
    ASSERT_TRUE(delegate.results[0].error);
    EXPECT_TRUE(delegate.results[0].data.isEmpty());
}

} // namespace
