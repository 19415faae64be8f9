// The compression session over a fake encoder: errors, property handling,
// result delivery on the delegate's queue, drops, and the end of a session.

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>
#include <mutex>

#include "FakeH264Encoder.h"
#include "FakeScreenSource.h"
#include "TestSupport.h"
#include "VideoTestTools.h"
#include "VideoToolBox/VTPCompressionSession.h"

using Platform::Fake::FakeEncoderProbe;
using Platform::Fake::FakeH264Encoder;
using Platform::Fake::FakeScreenSource;

namespace {

struct Result {
    qint64 pts;
    bool dropped;
    bool sync;
    QThread *thread;
};

// Records every result with the thread it arrived on.
class Recorder : public VTPCompressionSessionDelegate {
public:
    void videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *session,
                                                      const VTPSampleBufferRef &buffer) override
    {
        std::lock_guard lock(mutex);
        lastSession = session;
        results.append({buffer->presentationTimeStamp, false, !buffer->notSync, QThread::currentThread()});
        lastBuffer = buffer;
    }
    int count() const
    {
        std::lock_guard lock(mutex);
        return int(results.size());
    }
    mutable std::mutex mutex;
    QList<Result> results;
    VTPSampleBufferRef lastBuffer;
    VTPCompressionSession *lastSession = nullptr;
};

class DropRecorder : public Recorder {
public:
    void videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession *,
                                                    const VTPSampleBufferRef &buffer) override
    {
        std::lock_guard lock(mutex);
        results.append({buffer->presentationTimeStamp, true, false, QThread::currentThread()});
    }
};

std::unique_ptr<VTPCompressionSession> makeSession(const std::shared_ptr<FakeEncoderProbe> &probe,
                                                   TavlinError *error = nullptr, int width = 64, int height = 48)
{
    return std::make_unique<VTPCompressionSession>(width, height, kVTPCodecTypeH264, error,
                                                   std::make_unique<FakeH264Encoder>(probe));
}

Platform::VideoFramePtr frame(int index = 0)
{
    return FakeScreenSource::makeFrame(QSize(64, 48), index);
}

} // namespace

TEST(CompressionSessionErrors, DomainCodeAndDescription)
{
    const TavlinError notSupported = videoToolboxErrorWithStatus(-12900);
    EXPECT_EQ(notSupported.domain, QStringLiteral("VideoToolboxPlusError"));
    EXPECT_EQ(notSupported.code, -12900);
    EXPECT_EQ(notSupported.description, QStringLiteral("Property Not Supported"));
    const TavlinError other = videoToolboxErrorWithStatus(-12902);
    EXPECT_EQ(other.code, -12902);
    EXPECT_EQ(other.description, QStringLiteral("Video Toolbox Error: -12902"));
}

TEST(CompressionSessionErrors, CreationFailures)
{
    TavlinError error;
    VTPCompressionSession wrongCodec(640, 480, 0x68766331 /* hvc1 */, &error);
    EXPECT_FALSE(wrongCodec.isValid());
    EXPECT_EQ(error.domain, kVideoToolboxPlusErrorDomain);
    EXPECT_EQ(error.code, VTPStatus::kCouldNotFindVideoEncoderErr);

    VTPCompressionSession noSize(0, 480, kVTPCodecTypeH264, &error);
    EXPECT_FALSE(noSize.isValid());
    EXPECT_EQ(error.code, VTPStatus::kParameterErr);

    // A system that offers no encoder has none to find.
    VTPCompressionSession noEncoder(640, 480, kVTPCodecTypeH264, &error);
    EXPECT_FALSE(noEncoder.isValid());
    EXPECT_EQ(error.code, VTPStatus::kCouldNotFindVideoEncoderErr);

    // Without an error argument the failure is logged.
    LogCapture log;
    VTPCompressionSession logged(-1, -1, kVTPCodecTypeH264);
    EXPECT_FALSE(logged.isValid());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().contains(QStringLiteral("Code=-12902"))) << log.lines().first().toStdString();

    // An invalid session takes no frames and finishes quietly.
    EXPECT_FALSE(logged.encodePixelBuffer(frame(), 0, 50, false));
    EXPECT_TRUE(logged.finish());
    EXPECT_FALSE(VTPCompressionSession::hasHardwareSupportForCodec(kVTPCodecTypeH264));
}

TEST(CompressionSessionProperties, TypedAccessorsReachTheEncoder)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    auto session = makeSession(probe, nullptr, 1728, 1080);
    TavlinError error;
    EXPECT_TRUE(session->setRealtime(true));
    EXPECT_TRUE(session->setAllowFrameReordering(false, &error));
    EXPECT_TRUE(session->setMaxKeyframeInterval(1440000, &error));
    EXPECT_TRUE(session->setAverageBitrate(3355443, &error));
    EXPECT_TRUE(session->setConstantBitrate(1048576, &error));
    EXPECT_TRUE(session->setMaxframeDelayCount(1, &error));
    EXPECT_TRUE(session->setProfileLevel(VTPProfileLevel::H264_Baseline_AutoLevel, &error));
    EXPECT_TRUE(session->setH264EntropyMode(VTPEntropyMode::CAVLC, &error));

    EXPECT_TRUE(session->realtime());
    EXPECT_FALSE(session->allowFrameReordering());
    EXPECT_TRUE(session->allowTemporalCompression());
    EXPECT_EQ(session->maxKeyframeInterval(), 1440000u);
    EXPECT_EQ(session->averageBitrate(), 3355443);
    EXPECT_EQ(session->dataRateLimits(), (QVariantList{qint64(1048576), 1.0}));
    EXPECT_FALSE(session->usingHardwareAcceleratedVideoEncoder());
    EXPECT_EQ(session->numberOfPendingFrames(), 0u);

    session->prepare();
    // The encoder opens with the first picture; its duration gives the rate.
    TestSupport::spin(20); // for an open that must not come
    EXPECT_EQ(probe->opened, 0);
    EXPECT_TRUE(session->encodePixelBuffer(FakeScreenSource::makeFrame(QSize(1728, 1080), 0), 0, 33, false));
    ASSERT_TRUE(TestSupport::waitFor([&] { return probe->opened == 1; }));
    const Platform::H264EncoderConfig config = probe->lastConfig();
    EXPECT_EQ(config.fps, 30);
    EXPECT_EQ(config.width, 1728);
    EXPECT_EQ(config.height, 1080);
    EXPECT_FALSE(config.allowFrameReordering);
    EXPECT_EQ(config.maxKeyframeInterval, 1440000);
    EXPECT_EQ(config.averageBitrate, 3355443);
    EXPECT_EQ(config.dataRateLimitBytes, 1048576);
    EXPECT_DOUBLE_EQ(config.dataRateLimitSeconds, 1.0);
    EXPECT_EQ(config.maxFrameDelayCount, 1);
    EXPECT_TRUE(config.realtime);
    EXPECT_EQ(config.profile, Platform::H264Profile::Baseline);
    EXPECT_EQ(config.entropyMode, Platform::H264EntropyMode::CAVLC);

    // Rates change on the running encoder; the rest is fixed once prepared.
    EXPECT_TRUE(session->setConstantBitrateForInterval(2097152, 2.0, &error));
    ASSERT_TRUE(TestSupport::waitFor([&] { return probe->reconfigured == 1; }));
    EXPECT_EQ(probe->lastConfig().dataRateLimitBytes, 2097152);
    EXPECT_DOUBLE_EQ(probe->lastConfig().dataRateLimitSeconds, 2.0);
    EXPECT_FALSE(session->setMaxKeyframeInterval(10, &error));
    EXPECT_EQ(error.code, VTPStatus::kPropertyReadOnlyErr);
    EXPECT_EQ(session->maxKeyframeInterval(), 1440000u);
}

TEST(CompressionSessionProperties, RefusedValuesAndKeys)
{
    auto session = makeSession(std::make_shared<FakeEncoderProbe>());
    TavlinError error;
    EXPECT_FALSE(session->setQuality(0.5f, &error));
    EXPECT_EQ(error.code, VTPStatus::kPropertyNotSupportedErr);
    EXPECT_EQ(error.description, QStringLiteral("Property Not Supported"));
    EXPECT_FALSE(session->setValue(1, QStringLiteral("NoSuchKey"), &error));
    EXPECT_EQ(error.code, VTPStatus::kPropertyNotSupportedErr);
    EXPECT_FALSE(session->setValue(3, VTPProperty::NumberOfPendingFrames, &error));
    EXPECT_EQ(error.code, VTPStatus::kPropertyReadOnlyErr);
    EXPECT_FALSE(session->setDataRateLimits({1048576}, &error));
    EXPECT_EQ(error.code, VTPStatus::kParameterErr);
    EXPECT_FALSE(session->setDataRateLimits({1048576, -1}, &error));
    EXPECT_FALSE(session->setValue(QStringLiteral("fast"), VTPProperty::AverageBitRate, &error));
    EXPECT_EQ(error.code, VTPStatus::kParameterErr);
    EXPECT_FALSE(session->setProfileLevel(QStringLiteral("H264_Extended_AutoLevel"), &error));
    EXPECT_FALSE(session->valueForProperty(QStringLiteral("NoSuchKey"), &error).isValid());
    EXPECT_EQ(error.code, VTPStatus::kPropertyNotSupportedErr);

    // The real-time setter passes no error on: its failure is only logged.
    session->finish();
    LogCapture log;
    TavlinError untouched(QStringLiteral("x"), 1);
    EXPECT_FALSE(session->setRealtime(true, &untouched));
    EXPECT_EQ(untouched, TavlinError(QStringLiteral("x"), 1));
    EXPECT_EQ(log.lines().size(), 1);
}

TEST(CompressionSessionProperties, DictionaryGoesOnAfterAFailure)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    auto session = makeSession(probe);
    TavlinError error;
    session->setPropertiesFromDictionary({{VTPProperty::AverageBitRate, 6710886},
                                          {VTPProperty::Quality, 0.9},
                                          {VTPProperty::RealTime, true},
                                          {QStringLiteral("Unknown"), 1}},
                                         &error);
    EXPECT_EQ(session->averageBitrate(), 6710886);
    EXPECT_TRUE(session->realtime());
    // The same error argument carries the last failure.
    EXPECT_EQ(error.code, VTPStatus::kPropertyNotSupportedErr);
}

TEST(CompressionSessionDelivery, MainThreadLaterAndInOrder)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    auto session = makeSession(probe);
    Recorder recorder;
    session->setDelegate(&recorder, nullptr);
    EXPECT_EQ(session->delegateQueue(), nullptr);
    session->prepare();
    // Frames come from another thread, as on the capture road.
    std::thread feeder([&] {
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(session->encodePixelBuffer(frame(i), 100 + i, 50, i == 2));
            QThread::msleep(5);
        }
    });
    feeder.join();
    // Nothing arrives until the main thread's loop runs.
    QThread::msleep(50); // for a result that must not come
    EXPECT_EQ(recorder.count(), 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.count() == 3; }));
    EXPECT_EQ(recorder.lastSession, session.get());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(recorder.results[i].pts, 100 + i);
        EXPECT_EQ(recorder.results[i].thread, QCoreApplication::instance()->thread());
    }
    // The first picture and the forced one are sync frames.
    EXPECT_TRUE(recorder.results[0].sync);
    EXPECT_FALSE(recorder.results[1].sync);
    EXPECT_TRUE(recorder.results[2].sync);
    EXPECT_EQ(recorder.lastBuffer->parameterSets, (QList<QByteArray>{FakeH264Encoder::sps(), FakeH264Encoder::pps()}));
    EXPECT_EQ(recorder.lastBuffer->dataBuffer, FakeH264Encoder::unitFor(102, true));
    // The encoding ran on neither the feeder nor the main thread.
    std::lock_guard lock(probe->mutex);
    ASSERT_EQ(probe->encodeThreads.size(), 3u);
    EXPECT_NE(probe->encodeThreads.front(), std::this_thread::get_id());
}

TEST(CompressionSessionDelivery, OtherQueueObject)
{
    QThread other;
    other.start();
    QObject queue;
    queue.moveToThread(&other);
    auto session = makeSession(std::make_shared<FakeEncoderProbe>());
    Recorder recorder;
    session->setDelegate(&recorder, &queue);
    EXPECT_EQ(session->delegateQueue(), &queue);
    session->encodePixelBuffer(frame(), 1, 50, false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.count() == 1; }));
    EXPECT_EQ(recorder.results[0].thread, &other);
    session.reset();
    QMetaObject::invokeMethod(&queue, [&] { queue.moveToThread(QCoreApplication::instance()->thread()); },
                              Qt::BlockingQueuedConnection);
    other.quit();
    other.wait();
}

TEST(CompressionSessionDelivery, DropsReachOnlyADelegateThatTakesThem)
{
    for (const bool takesDrops : {false, true}) {
        auto probe = std::make_shared<FakeEncoderProbe>();
        probe->encodeDelayMs = 40;
        auto session = makeSession(probe);
        std::unique_ptr<Recorder> recorder = takesDrops ? std::make_unique<DropRecorder>() : std::make_unique<Recorder>();
        session->setDelegate(recorder.get(), nullptr);
        // Far more pictures than a slow encoder can queue.
        for (int i = 0; i < 10; ++i)
            EXPECT_TRUE(session->encodePixelBuffer(frame(i), i, 50, false));
        session->finish();
        // Every result reaches the delegate through the main thread's loop.
        const int reported = takesDrops ? 10 : probe->encoded.load();
        EXPECT_TRUE(TestSupport::waitFor([&] { return recorder->count() == reported; }));
        TestSupport::spin(30); // for a result that must not come
        std::lock_guard lock(recorder->mutex);
        int encoded = 0;
        int dropped = 0;
        for (const Result &r : recorder->results)
            r.dropped ? ++dropped : ++encoded;
        EXPECT_EQ(encoded, probe->encoded.load());
        EXPECT_LT(encoded, 10);
        EXPECT_EQ(dropped, takesDrops ? 10 - encoded : 0);
    }
}

TEST(CompressionSessionLifecycle, FinishFlushesOnceAndEndsTheEncoder)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    probe->holdFrames = 2;
    auto session = makeSession(probe);
    Recorder recorder;
    session->setDelegate(&recorder, nullptr);
    for (int i = 0; i < 3; ++i)
        session->encodePixelBuffer(frame(i), i, 50, false);
    EXPECT_TRUE(session->finishUntilPresentationTimeStamp(2));
    EXPECT_EQ(session->numberOfPendingFrames(), 2u);
    ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.count() >= 1; }));
    TestSupport::spin(30); // for a held picture that must not come out
    EXPECT_EQ(recorder.count(), 1);

    EXPECT_TRUE(session->finish());
    EXPECT_EQ(probe->closed, 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.count() == 3; }));
    EXPECT_EQ(recorder.results[2].pts, 2);
    // A second finish does nothing more; the session takes no more frames.
    EXPECT_TRUE(session->finish());
    EXPECT_EQ(probe->closed, 1);
    EXPECT_FALSE(session->encodePixelBuffer(frame(), 9, 50, false));
}

TEST(CompressionSessionLifecycle, NoResultAfterTheSessionIsGone)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    Recorder recorder;
    {
        auto session = makeSession(probe);
        session->setDelegate(&recorder, nullptr);
        for (int i = 0; i < 3; ++i)
            session->encodePixelBuffer(frame(i), i, 50, false);
        // Results wait on the main thread's queue while the session goes.
        for (int i = 0; i < 2500 && probe->encoded < 3; ++i)
            QThread::msleep(2);
        ASSERT_EQ(probe->encoded, 3);
    }
    TestSupport::spin(50); // for a result that must not come
    EXPECT_EQ(recorder.count(), 0);
    EXPECT_EQ(probe->closed, 1);
}

TEST(CompressionSessionLifecycle, EncoderThatWillNotOpen)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    probe->failOpen = true;
    auto session = makeSession(probe);
    DropRecorder recorder;
    session->setDelegate(&recorder, nullptr);
    EXPECT_TRUE(session->encodePixelBuffer(frame(0), 0, 50, false));
    ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.count() == 1; }));
    EXPECT_TRUE(recorder.results[0].dropped);
    EXPECT_FALSE(session->encodePixelBuffer(frame(1), 1, 50, false));
}

// Conversion and coding run on two threads, a picture apart; what the callers
// see must stay as if one thread did both.
TEST(CompressionSessionStages, NextPictureIsConvertedWhileOneIsCoded)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    probe->codeAfterNextConversion = 3;
    auto session = makeSession(probe);
    DropRecorder recorder;
    session->setDelegate(&recorder, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(session->encodePixelBuffer(frame(i), i, 50, false));
    EXPECT_TRUE(session->finish());
    // Pictures 0 and 1 were each coded only once the next one was converted.
    EXPECT_EQ(probe->overlapped, 2);
    {
        std::lock_guard lock(probe->mutex);
        EXPECT_EQ(probe->convertThreadNames, (std::deque<std::string>(3, "tavlin-convert")));
        EXPECT_EQ(probe->encodeThreadNames, (std::deque<std::string>(3, "tavlin-encode")));
        // Threads an encoder starts take the name of the one that opened it.
        EXPECT_EQ(probe->openThreadName, "tavlin-encode");
    }
    ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.count() == 3; }));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(recorder.results[i].pts, i);
        EXPECT_FALSE(recorder.results[i].dropped);
    }
}

TEST(CompressionSessionStages, FinishAndDestructionWithPicturesInBothStages)
{
    for (const bool finish : {true, false}) {
        auto probe = std::make_shared<FakeEncoderProbe>();
        probe->convertDelayMs = 15;
        probe->encodeDelayMs = 15;
        probe->holdFrames = 1;
        DropRecorder recorder;
        {
            auto session = makeSession(probe);
            session->setDelegate(&recorder, nullptr);
            for (int i = 0; i < 3; ++i)
                EXPECT_TRUE(session->encodePixelBuffer(frame(i), 10 + i, 50, i == 1));
            ASSERT_TRUE(TestSupport::waitFor([&] { return probe->converted >= 2; }));
            if (finish) {
                // Everything in either stage and held by the encoder comes out,
                // in order, before finish returns.
                EXPECT_TRUE(session->finish());
                EXPECT_EQ(probe->encoded, 3);
                EXPECT_EQ(probe->closed, 1);
                EXPECT_EQ(session->numberOfPendingFrames(), 0u);
                ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.count() == 3; }));
                for (int i = 0; i < 3; ++i) {
                    EXPECT_EQ(recorder.results[i].pts, 10 + i);
                    EXPECT_FALSE(recorder.results[i].dropped);
                }
                EXPECT_TRUE(recorder.results[1].sync);
                EXPECT_FALSE(session->encodePixelBuffer(frame(), 20, 50, false));
            }
            // Otherwise the session goes with work in both stages.
        }
        EXPECT_EQ(probe->closed, 1);
        if (!finish) {
            TestSupport::spin(50); // for a result that must not come
            EXPECT_EQ(recorder.count(), 0);
        }
    }
}

TEST(CompressionSessionStages, FailedConversionIsADropInItsPlace)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    probe->failConversion = 1;
    auto session = makeSession(probe);
    DropRecorder recorder;
    session->setDelegate(&recorder, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(session->encodePixelBuffer(frame(i), i, 50, false));
        EXPECT_TRUE(session->finishUntilPresentationTimeStamp(i));
    }
    EXPECT_TRUE(session->canEncode());
    session->finish();
    ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.count() == 3; }));
    EXPECT_FALSE(recorder.results[0].dropped);
    EXPECT_TRUE(recorder.results[1].dropped);
    EXPECT_EQ(recorder.results[1].pts, 1);
    EXPECT_FALSE(recorder.results[2].dropped);
    EXPECT_EQ(recorder.results[2].pts, 2);
    EXPECT_EQ(probe->encoded, 2);
}

TEST(CompressionSessionStages, FinishUntilWaitsForAPictureAlreadyBeingConverted)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    probe->convertDelayMs = 100;
    auto session = makeSession(probe);
    Recorder recorder;
    session->setDelegate(&recorder, nullptr);
    EXPECT_TRUE(session->encodePixelBuffer(frame(0), 5, 50, false));
    EXPECT_TRUE(session->encodePixelBuffer(frame(1), 6, 50, false));
    ASSERT_TRUE(TestSupport::waitFor([&] {
        std::lock_guard lock(probe->mutex);
        return !probe->convertThreadNames.empty();
    }));
    // The first picture has left the queue: only the stages hold it now.
    EXPECT_TRUE(session->finishUntilPresentationTimeStamp(5));
    EXPECT_GE(probe->encoded, 1);
    EXPECT_TRUE(session->finishUntilPresentationTimeStamp(6));
    EXPECT_EQ(probe->encoded, 2);
    EXPECT_EQ(session->numberOfPendingFrames(), 0u);
}
