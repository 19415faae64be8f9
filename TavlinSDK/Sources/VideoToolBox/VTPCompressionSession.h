#pragma once

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Platform/H264Encoder.h"
#include "TavlinError.h"
#include "Support/NamedThread.h"
#include "VideoToolBox/VTPError.h"
#include "VideoToolBox/VTPSampleBuffer.h"

class VTPCompressionSession;

// The four-character code of H.264 ("avc1").
constexpr quint32 kVTPCodecTypeH264 = (quint32('a') << 24) | (quint32('v') << 16) | (quint32('c') << 8) | quint32('1');

// Property keys of the compression session.
namespace VTPProperty {
inline const QString NumberOfPendingFrames = QStringLiteral("NumberOfPendingFrames");
inline const QString MaxKeyFrameInterval = QStringLiteral("MaxKeyFrameInterval");
inline const QString MaxKeyFrameIntervalDuration = QStringLiteral("MaxKeyFrameIntervalDuration");
inline const QString AllowTemporalCompression = QStringLiteral("AllowTemporalCompression");
inline const QString AllowFrameReordering = QStringLiteral("AllowFrameReordering");
inline const QString AverageBitRate = QStringLiteral("AverageBitRate");
inline const QString DataRateLimits = QStringLiteral("DataRateLimits");
inline const QString Quality = QStringLiteral("Quality");
inline const QString ProfileLevel = QStringLiteral("ProfileLevel");
inline const QString H264EntropyMode = QStringLiteral("H264EntropyMode");
inline const QString RealTime = QStringLiteral("RealTime");
inline const QString UsingHardwareAcceleratedVideoEncoder = QStringLiteral("UsingHardwareAcceleratedVideoEncoder");
inline const QString MaxFrameDelayCount = QStringLiteral("MaxFrameDelayCount");
} // namespace VTPProperty

// Values of the profile-and-level and entropy-mode properties.
namespace VTPProfileLevel {
inline const QString H264_Baseline_AutoLevel = QStringLiteral("H264_Baseline_AutoLevel");
inline const QString H264_Main_AutoLevel = QStringLiteral("H264_Main_AutoLevel");
inline const QString H264_High_AutoLevel = QStringLiteral("H264_High_AutoLevel");
} // namespace VTPProfileLevel
namespace VTPEntropyMode {
inline const QString CAVLC = QStringLiteral("CAVLC");
inline const QString CABAC = QStringLiteral("CABAC");
} // namespace VTPEntropyMode

// Receives the results of a compression session, on the session's delegate
// queue, in submission order.
class VTPCompressionSessionDelegate {
public:
    virtual ~VTPCompressionSessionDelegate() = default;
    virtual void videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *session,
                                                              const VTPSampleBufferRef &sampleBuffer) = 0;
    virtual void videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession * /*session*/,
                                                            const VTPSampleBufferRef & /*sampleBuffer*/)
    {
    }
};

// An H.264 compression session: pictures go in from one thread at a time,
// are converted on the session's conversion thread and coded on its coding
// thread (the next picture is converted while one is coded), and the results
// reach the delegate through its queue (an object whose thread runs the
// calls; none means the main thread), in submission order.
class VTPCompressionSession {
public:
    using EncoderFactory = std::function<std::unique_ptr<Platform::H264Encoder>()>;

    // Made with the given frame size and codec, encoding through `encoder`
    // (none: no encoder is found); on failure isValid() is false and `error`
    // (when given) tells why, else the failure is logged.
    VTPCompressionSession(int width, int height, quint32 codec, TavlinError *error = nullptr,
                          std::unique_ptr<Platform::H264Encoder> encoder = {});
    ~VTPCompressionSession();
    VTPCompressionSession(const VTPCompressionSession &) = delete;
    VTPCompressionSession &operator=(const VTPCompressionSession &) = delete;

    // Whether this system encodes the codec in hardware.
    static bool hasHardwareSupportForCodec(quint32 codec);

    bool isValid() const { return m_valid; }
    // False once the encoder could not be opened, or after finish(): every
    // picture submitted from then on is refused.
    bool canEncode() const;
    int width() const { return m_width; }
    int height() const { return m_height; }

    void setDelegate(VTPCompressionSessionDelegate *delegate, QObject *queue);
    VTPCompressionSessionDelegate *delegate() const;
    void setDelegate(VTPCompressionSessionDelegate *delegate);
    QObject *delegateQueue() const;
    void setDelegateQueue(QObject *queue);

    QVariant valueForProperty(const QString &key, TavlinError *error = nullptr) const;
    bool setValue(const QVariant &value, const QString &key, TavlinError *error = nullptr);

    // Readies the encoder with the properties set so far.
    void prepare();
    bool encodeSampleBuffer(const VTPImageSampleBuffer &sampleBuffer, bool forceKeyframe);
    bool encodePixelBuffer(const Platform::VideoFramePtr &pixelBuffer, qint64 presentationTimeStamp,
                           qint64 duration, bool forceKeyframe);
    // Completes every pending picture, then ends the encoder. Later calls do nothing.
    bool finish();
    // Completes the pictures up to the time stamp.
    bool finishUntilPresentationTimeStamp(qint64 presentationTimeStamp);

    // --- Typed properties ---
    quint64 numberOfPendingFrames() const;
    quint64 maxKeyframeInterval() const;
    bool setMaxKeyframeInterval(quint64 frames, TavlinError *error = nullptr);
    double maxKeyframeIntervalDuration() const;
    bool setMaxKeyframeIntervalDuration(double seconds, TavlinError *error = nullptr);
    bool allowTemporalCompression() const;
    bool setAllowTemporalCompression(bool allow, TavlinError *error = nullptr);
    bool allowFrameReordering() const;
    bool setAllowFrameReordering(bool allow, TavlinError *error = nullptr);
    qint32 averageBitrate() const;
    bool setAverageBitrate(qint32 bitsPerSecond, TavlinError *error = nullptr);
    QVariantList dataRateLimits() const;
    bool setDataRateLimits(const QVariantList &limits, TavlinError *error = nullptr);
    bool setConstantBitrateForInterval(qint64 bytes, double intervalSeconds, TavlinError *error = nullptr);
    bool setConstantBitrate(qint64 bytes, TavlinError *error = nullptr);
    float quality() const;
    bool setQuality(float quality, TavlinError *error = nullptr);
    QString profileLevel() const;
    bool setProfileLevel(const QString &profileLevel, TavlinError *error = nullptr);
    QString H264EntropyMode() const;
    bool setH264EntropyMode(const QString &mode, TavlinError *error = nullptr);
    bool realtime() const;
    // A failure is only logged.
    bool setRealtime(bool realtime, TavlinError *error = nullptr);
    bool usingHardwareAcceleratedVideoEncoder() const;
    bool setMaxframeDelayCount(quint64 count, TavlinError *error = nullptr);

    // Sets every entry, in the map's order, going on after a failure.
    void setPropertiesFromDictionary(const QVariantMap &properties, TavlinError *error = nullptr);

private:
    struct Job;
    struct Staged;
    struct Delivery;

    int checkProperty(const QVariant &value, const QString &key) const;
    Platform::H264EncoderConfig configLocked() const;
    void convertLoop();
    void codeLoop();
    bool openOnCodingThread(const Platform::H264EncoderConfig &config);
    std::unique_ptr<Platform::H264Picture> takePicture();
    void deliver(std::vector<Platform::H264EncodedFrame> &coded);
    void deliverDrop(qint64 pts, qint64 duration);
    void postDelivery(const VTPSampleBufferRef &buffer, bool dropped);
    void waitForJob(quint64 sequence);
    void stopWorker();
    void report(const char *operation, int line, const TavlinError &error, TavlinError *out) const;

    const int m_width;
    const int m_height;
    bool m_valid = false;
    std::shared_ptr<Delivery> m_delivery;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;        // a job for the conversion thread
    std::condition_variable m_stagedWake;  // work for the coding thread
    std::condition_variable m_converterWake; // a picture back in the pool, or the encoder opened
    std::condition_variable m_idle;        // a job completed
    std::deque<Job> m_jobs;                // submitted, not yet taken by the conversion
    std::deque<Staged> m_staged;           // converted, in submission order
    // Converted pictures between the two threads come from this small pool,
    // so a conversion runs at most one picture ahead of the coding and nothing
    // is allocated per frame.
    std::vector<std::unique_ptr<Platform::H264Picture>> m_freePictures;
    int m_madePictures = 0;
    int m_openState = 0; // 1 open, -1 failed to open, 0 not tried
    struct Pending {
        quint64 sequence;
        qint64 pts;
    };
    std::deque<Pending> m_inFlight; // frames submitted and not yet coded or dropped
    QVariantMap m_properties;
    // Opened on the coding thread when the first picture reaches the
    // conversion; after that its conversion belongs to the conversion thread
    // and the rest to the coding thread.
    std::unique_ptr<Platform::H264Encoder> m_encoder;
    Support::NamedThread m_converter;
    Support::NamedThread m_coder;
    bool m_prepared = false;
    bool m_finished = false;
    bool m_quit = false;
    std::atomic<bool> m_openFailed{false};
    std::atomic<int> m_queuedFrames{0};
    std::atomic<int> m_delayedFrames{0};
    quint64 m_nextJob = 1; // sequence of the next job
    quint64 m_doneJob = 0; // sequence of the last job the coding thread completed
};
