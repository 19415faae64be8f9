#include "VideoToolBox/VTPCompressionSession.h"

#include <QCoreApplication>
#include <QDebug>
#include <algorithm>
#include <optional>

#include "Utils/ThreadHandover.h"


namespace {

// Pictures waiting for the worker beyond this many are dropped: a real-time
// encoder that falls behind sheds input rather than building a backlog.
constexpr int kMaxQueuedFrames = 3;

// One picture being coded and one converted ahead of it.
constexpr int kPictures = 2;

bool isRateKey(const QString &key)
{
    return key == VTPProperty::AverageBitRate || key == VTPProperty::DataRateLimits;
}

// Keys that only describe how the caller wants frames handled; they can
// change at any time without touching the encoder.
bool isAdvisoryKey(const QString &key)
{
    return key == VTPProperty::RealTime || key == VTPProperty::MaxFrameDelayCount;
}

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

} // namespace

struct VTPCompressionSession::Job {
    enum Kind { Open, Frame, Reconfigure, Flush } kind = Frame;
    quint64 sequence = 0;
    Platform::H264EncoderConfig config;
    Platform::VideoFramePtr frame;
    qint64 pts = 0;
    qint64 duration = 0;
    bool forceKeyframe = false;
};

// A job on its way from the conversion thread to the coding thread.
struct VTPCompressionSession::Staged {
    Job::Kind kind = Job::Frame;
    quint64 sequence = 0;
    bool open = false; // whether the encoder was open when the job was converted
    bool openEncoder = false; // asks the coding thread to open the encoder with `config`
    Platform::H264EncoderConfig config;
    std::unique_ptr<Platform::H264Picture> picture; // none: the frame is dropped
    qint64 pts = 0;
    qint64 duration = 0;
    bool forceKeyframe = false;
};

// What result deliveries need, shared with the calls still waiting on the
// delegate's queue: those find no delegate once the session is gone.
struct VTPCompressionSession::Delivery {
    std::mutex mutex;
    VTPCompressionSessionDelegate *delegate = nullptr;
    QPointer<QObject> queue;
    VTPCompressionSession *session = nullptr;
};

VTPCompressionSession::VTPCompressionSession(int width, int height, quint32 codec, TavlinError *error,
                                             std::unique_ptr<Platform::H264Encoder> encoder)
    : m_width(width), m_height(height), m_delivery(std::make_shared<Delivery>())
{
    m_delivery->session = this;
    int status = VTPStatus::kNoErr;
    if (codec != kVTPCodecTypeH264) {
        status = VTPStatus::kCouldNotFindVideoEncoderErr;
    } else if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        status = VTPStatus::kParameterErr;
    } else if (!encoder) {
        status = VTPStatus::kCouldNotFindVideoEncoderErr;
    }
    if (status != VTPStatus::kNoErr) {
        report("initWithWidth:height:codec:error:", __LINE__, videoToolboxErrorWithStatus(status), error);
        return;
    }
    m_encoder = std::move(encoder);
    m_valid = true;
    m_converter.start("tavlin-convert", [this] { convertLoop(); });
    m_coder.start("tavlin-encode", [this] { codeLoop(); });
}

VTPCompressionSession::~VTPCompressionSession()
{
    {
        std::lock_guard lock(m_delivery->mutex);
        m_delivery->delegate = nullptr;
        m_delivery->session = nullptr;
    }
    stopWorker();
    if (m_encoder)
        m_encoder->close();
}

bool VTPCompressionSession::hasHardwareSupportForCodec(quint32 codec)
{
    VTPCompressionSession session(1280, 800, codec);
    return session.usingHardwareAcceleratedVideoEncoder();
}

void VTPCompressionSession::report(const char *operation, int line, const TavlinError &error, TavlinError *out) const
{
    if (out)
        *out = error;
    else
        qWarning().noquote() << QStringLiteral("%1:%2: %3")
                                    .arg(QLatin1String(operation))
                                    .arg(line)
                                    .arg(describeVideoToolboxError(error));
}

// --- Delegate ---

void VTPCompressionSession::setDelegate(VTPCompressionSessionDelegate *delegate, QObject *queue)
{
    std::lock_guard lock(m_delivery->mutex);
    m_delivery->delegate = delegate;
    m_delivery->queue = queue;
}

VTPCompressionSessionDelegate *VTPCompressionSession::delegate() const
{
    std::lock_guard lock(m_delivery->mutex);
    return m_delivery->delegate;
}

void VTPCompressionSession::setDelegate(VTPCompressionSessionDelegate *delegate)
{
    std::lock_guard lock(m_delivery->mutex);
    m_delivery->delegate = delegate;
}

QObject *VTPCompressionSession::delegateQueue() const
{
    std::lock_guard lock(m_delivery->mutex);
    return m_delivery->queue.data();
}

void VTPCompressionSession::setDelegateQueue(QObject *queue)
{
    std::lock_guard lock(m_delivery->mutex);
    m_delivery->queue = queue;
}

// --- Properties ---

int VTPCompressionSession::checkProperty(const QVariant &value, const QString &key) const
{
    using namespace VTPProperty;
    if (key == NumberOfPendingFrames || key == UsingHardwareAcceleratedVideoEncoder)
        return VTPStatus::kPropertyReadOnlyErr;
    if (key == MaxKeyFrameInterval || key == AverageBitRate) {
        if (!isNumber(value) || value.toLongLong() < 0)
            return VTPStatus::kParameterErr;
        return VTPStatus::kNoErr;
    }
    if (key == MaxFrameDelayCount) {
        if (!isNumber(value) || value.toLongLong() < -1)
            return VTPStatus::kParameterErr;
        return VTPStatus::kNoErr;
    }
    if (key == MaxKeyFrameIntervalDuration) {
        if (!isNumber(value) || value.toDouble() < 0)
            return VTPStatus::kParameterErr;
        return VTPStatus::kNoErr;
    }
    if (key == AllowTemporalCompression || key == AllowFrameReordering || key == RealTime)
        return isNumber(value) ? VTPStatus::kNoErr : VTPStatus::kParameterErr;
    if (key == DataRateLimits) {
        const QVariantList list = value.toList();
        if (value.typeId() != QMetaType::QVariantList || list.isEmpty() || list.size() % 2)
            return VTPStatus::kParameterErr;
        for (const QVariant &v : list) {
            if (!isNumber(v) || v.toDouble() <= 0)
                return VTPStatus::kParameterErr;
        }
        return VTPStatus::kNoErr;
    }
    if (key == ProfileLevel) {
        const QString s = value.toString();
        return s == VTPProfileLevel::H264_Baseline_AutoLevel || s == VTPProfileLevel::H264_Main_AutoLevel
                || s == VTPProfileLevel::H264_High_AutoLevel
            ? VTPStatus::kNoErr
            : VTPStatus::kParameterErr;
    }
    if (key == VTPProperty::H264EntropyMode) {
        const QString s = value.toString();
        return s == VTPEntropyMode::CAVLC || s == VTPEntropyMode::CABAC ? VTPStatus::kNoErr : VTPStatus::kParameterErr;
    }
    // Quality has no meaning for this encoder's rate control; nor has any
    // key it does not know.
    return VTPStatus::kPropertyNotSupportedErr;
}

QVariant VTPCompressionSession::valueForProperty(const QString &key, TavlinError *error) const
{
    using namespace VTPProperty;
    if (key == NumberOfPendingFrames)
        return QVariant::fromValue<quint64>(quint64(std::max(0, m_queuedFrames + m_delayedFrames)));
    if (key == UsingHardwareAcceleratedVideoEncoder)
        return false;
    if (checkProperty(QVariant(), key) == VTPStatus::kPropertyNotSupportedErr) {
        report("valueForProperty:error:", __LINE__, videoToolboxErrorWithStatus(VTPStatus::kPropertyNotSupportedErr),
               error);
        return {};
    }
    std::lock_guard lock(m_mutex);
    if (m_properties.contains(key))
        return m_properties.value(key);
    if (key == MaxKeyFrameInterval || key == AverageBitRate)
        return 0;
    if (key == MaxKeyFrameIntervalDuration)
        return 0.0;
    if (key == AllowTemporalCompression || key == AllowFrameReordering)
        return true;
    if (key == RealTime)
        return false;
    if (key == MaxFrameDelayCount)
        return -1;
    if (key == DataRateLimits)
        return QVariantList();
    return QString();
}

bool VTPCompressionSession::setValue(const QVariant &value, const QString &key, TavlinError *error)
{
    int status = m_valid ? checkProperty(value, key) : VTPStatus::kInvalidSessionErr;
    if (status == VTPStatus::kNoErr) {
        std::lock_guard lock(m_mutex);
        if (m_finished) {
            status = VTPStatus::kInvalidSessionErr;
        } else if (m_prepared && !isRateKey(key) && !isAdvisoryKey(key)) {
            // The encoder runs with what it was prepared with.
            status = VTPStatus::kPropertyReadOnlyErr;
        } else {
            m_properties.insert(key, value);
            if (m_prepared && isRateKey(key)) {
                Job job;
                job.kind = Job::Reconfigure;
                job.config = configLocked();
                job.sequence = m_nextJob++;
                m_jobs.push_back(std::move(job));
                m_wake.notify_all();
            }
        }
    }
    if (status != VTPStatus::kNoErr) {
        report("setValue:forProperty:error:", __LINE__, videoToolboxErrorWithStatus(status), error);
        return false;
    }
    return true;
}

Platform::H264EncoderConfig VTPCompressionSession::configLocked() const
{
    using namespace VTPProperty;
    Platform::H264EncoderConfig c;
    // 4:2:0 needs even sides; an odd one gains a pixel.
    c.width = (m_width + 1) & ~1;
    c.height = (m_height + 1) & ~1;
    c.maxKeyframeInterval = m_properties.value(MaxKeyFrameInterval, 0).toLongLong();
    c.maxKeyframeIntervalDuration = m_properties.value(MaxKeyFrameIntervalDuration, 0.0).toDouble();
    c.allowTemporalCompression = m_properties.value(AllowTemporalCompression, true).toBool();
    c.allowFrameReordering = m_properties.value(AllowFrameReordering, true).toBool();
    c.averageBitrate = m_properties.value(AverageBitRate, 0).toLongLong();
    const QVariantList limits = m_properties.value(DataRateLimits).toList();
    if (limits.size() >= 2) {
        c.dataRateLimitBytes = limits.at(0).toLongLong();
        c.dataRateLimitSeconds = limits.at(1).toDouble();
    }
    c.realtime = m_properties.value(RealTime, false).toBool();
    c.maxFrameDelayCount = m_properties.value(MaxFrameDelayCount, -1).toInt();
    const QString profile = m_properties.value(ProfileLevel).toString();
    if (profile == VTPProfileLevel::H264_Baseline_AutoLevel)
        c.profile = Platform::H264Profile::Baseline;
    else if (profile == VTPProfileLevel::H264_Main_AutoLevel)
        c.profile = Platform::H264Profile::Main;
    else if (profile == VTPProfileLevel::H264_High_AutoLevel)
        c.profile = Platform::H264Profile::High;
    const QString entropy = m_properties.value(VTPProperty::H264EntropyMode).toString();
    if (entropy == VTPEntropyMode::CAVLC)
        c.entropyMode = Platform::H264EntropyMode::CAVLC;
    else if (entropy == VTPEntropyMode::CABAC)
        c.entropyMode = Platform::H264EntropyMode::CABAC;
    return c;
}

void VTPCompressionSession::setPropertiesFromDictionary(const QVariantMap &properties, TavlinError *error)
{
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        setValue(it.value(), it.key(), error);
}

// --- Typed properties ---

quint64 VTPCompressionSession::numberOfPendingFrames() const
{
    return valueForProperty(VTPProperty::NumberOfPendingFrames).toULongLong();
}
quint64 VTPCompressionSession::maxKeyframeInterval() const
{
    return valueForProperty(VTPProperty::MaxKeyFrameInterval).toULongLong();
}
bool VTPCompressionSession::setMaxKeyframeInterval(quint64 frames, TavlinError *error)
{
    return setValue(QVariant::fromValue(frames), VTPProperty::MaxKeyFrameInterval, error);
}
double VTPCompressionSession::maxKeyframeIntervalDuration() const
{
    return valueForProperty(VTPProperty::MaxKeyFrameIntervalDuration).toDouble();
}
bool VTPCompressionSession::setMaxKeyframeIntervalDuration(double seconds, TavlinError *error)
{
    return setValue(seconds, VTPProperty::MaxKeyFrameIntervalDuration, error);
}
bool VTPCompressionSession::allowTemporalCompression() const
{
    return valueForProperty(VTPProperty::AllowTemporalCompression).toBool();
}
bool VTPCompressionSession::setAllowTemporalCompression(bool allow, TavlinError *error)
{
    return setValue(allow, VTPProperty::AllowTemporalCompression, error);
}
bool VTPCompressionSession::allowFrameReordering() const
{
    return valueForProperty(VTPProperty::AllowFrameReordering).toBool();
}
bool VTPCompressionSession::setAllowFrameReordering(bool allow, TavlinError *error)
{
    return setValue(allow, VTPProperty::AllowFrameReordering, error);
}
qint32 VTPCompressionSession::averageBitrate() const
{
    return valueForProperty(VTPProperty::AverageBitRate).toInt();
}
bool VTPCompressionSession::setAverageBitrate(qint32 bitsPerSecond, TavlinError *error)
{
    return setValue(bitsPerSecond, VTPProperty::AverageBitRate, error);
}
QVariantList VTPCompressionSession::dataRateLimits() const
{
    return valueForProperty(VTPProperty::DataRateLimits).toList();
}
bool VTPCompressionSession::setDataRateLimits(const QVariantList &limits, TavlinError *error)
{
    return setValue(limits, VTPProperty::DataRateLimits, error);
}
bool VTPCompressionSession::setConstantBitrateForInterval(qint64 bytes, double intervalSeconds, TavlinError *error)
{
    return setDataRateLimits(QVariantList{bytes, intervalSeconds}, error);
}
bool VTPCompressionSession::setConstantBitrate(qint64 bytes, TavlinError *error)
{
    return setConstantBitrateForInterval(bytes, 1.0, error);
}
float VTPCompressionSession::quality() const
{
    return valueForProperty(VTPProperty::Quality).toFloat();
}
bool VTPCompressionSession::setQuality(float quality, TavlinError *error)
{
    return setValue(quality, VTPProperty::Quality, error);
}
QString VTPCompressionSession::profileLevel() const
{
    return valueForProperty(VTPProperty::ProfileLevel).toString();
}
bool VTPCompressionSession::setProfileLevel(const QString &profileLevel, TavlinError *error)
{
    return setValue(profileLevel, VTPProperty::ProfileLevel, error);
}
QString VTPCompressionSession::H264EntropyMode() const
{
    return valueForProperty(VTPProperty::H264EntropyMode).toString();
}
bool VTPCompressionSession::setH264EntropyMode(const QString &mode, TavlinError *error)
{
    return setValue(mode, VTPProperty::H264EntropyMode, error);
}
bool VTPCompressionSession::realtime() const
{
    return valueForProperty(VTPProperty::RealTime).toBool();
}
bool VTPCompressionSession::setRealtime(bool realtime, TavlinError *)
{
    return setValue(realtime, VTPProperty::RealTime, nullptr);
}
bool VTPCompressionSession::usingHardwareAcceleratedVideoEncoder() const
{
    return valueForProperty(VTPProperty::UsingHardwareAcceleratedVideoEncoder).toBool();
}
bool VTPCompressionSession::setMaxframeDelayCount(quint64 count, TavlinError *error)
{
    return setValue(QVariant::fromValue(count), VTPProperty::MaxFrameDelayCount, error);
}

// --- Encoding ---

void VTPCompressionSession::prepare()
{
    if (!m_valid)
        return;
    std::lock_guard lock(m_mutex);
    if (m_finished || m_prepared)
        return;
    m_prepared = true;
    Job job;
    job.kind = Job::Open;
    job.config = configLocked();
    job.sequence = m_nextJob++;
    m_jobs.push_back(std::move(job));
    m_wake.notify_all();
}

bool VTPCompressionSession::canEncode() const
{
    if (!m_valid || m_openFailed)
        return false;
    std::lock_guard lock(m_mutex);
    return !m_finished;
}

bool VTPCompressionSession::encodeSampleBuffer(const VTPImageSampleBuffer &sampleBuffer, bool forceKeyframe)
{
    return encodePixelBuffer(sampleBuffer.imageBuffer, sampleBuffer.presentationTimeStamp, sampleBuffer.duration,
                             forceKeyframe);
}

bool VTPCompressionSession::encodePixelBuffer(const Platform::VideoFramePtr &pixelBuffer,
                                              qint64 presentationTimeStamp, qint64 duration, bool forceKeyframe)
{
    if (!m_valid || !pixelBuffer || !pixelBuffer->isValid() || m_openFailed)
        return false;
    prepare();
    {
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return false;
        if (m_queuedFrames < kMaxQueuedFrames) {
            ++m_queuedFrames;
            Job job;
            job.kind = Job::Frame;
            job.frame = pixelBuffer;
            job.pts = presentationTimeStamp;
            job.duration = duration;
            job.forceKeyframe = forceKeyframe;
            job.sequence = m_nextJob++;
            m_inFlight.push_back({job.sequence, presentationTimeStamp});
            m_jobs.push_back(std::move(job));
            m_wake.notify_all();
            return true;
        }
    }
    deliverDrop(presentationTimeStamp, duration);
    return true;
}

bool VTPCompressionSession::finish()
{
    if (!m_valid)
        return true;
    quint64 last = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return true;
        m_finished = true;
        if (m_prepared) {
            Job job;
            job.kind = Job::Flush;
            job.sequence = m_nextJob++;
            m_jobs.push_back(std::move(job));
            m_wake.notify_all();
        }
        last = m_nextJob - 1;
    }
    waitForJob(last);
    stopWorker();
    if (m_encoder)
        m_encoder->close();
    return true;
}

bool VTPCompressionSession::finishUntilPresentationTimeStamp(qint64 presentationTimeStamp)
{
    if (!m_valid)
        return false;
    quint64 last = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return false;
        // Frames already in either stage count as much as those still queued.
        for (const Pending &frame : m_inFlight) {
            if (frame.pts <= presentationTimeStamp)
                last = frame.sequence;
        }
    }
    waitForJob(last);
    return !m_openFailed;
}

void VTPCompressionSession::waitForJob(quint64 sequence)
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return m_doneJob >= sequence || m_quit; });
}

void VTPCompressionSession::stopWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_jobs.clear();
        m_staged.clear();
    }
    m_wake.notify_all();
    m_stagedWake.notify_all();
    m_converterWake.notify_all();
    m_idle.notify_all();
    m_converter.join();
    m_coder.join();
    m_freePictures.clear();
    m_madePictures = 0;
    m_inFlight.clear();
    m_queuedFrames = 0;
    m_delayedFrames = 0;
}

bool VTPCompressionSession::openOnCodingThread(const Platform::H264EncoderConfig &config)
{
    // The encoder's own threads take the name of the thread that opens it,
    // and they do the coding.
    Staged staged;
    staged.kind = Job::Open;
    staged.openEncoder = true;
    staged.config = config;
    std::unique_lock lock(m_mutex);
    m_staged.push_back(std::move(staged));
    m_stagedWake.notify_all();
    m_converterWake.wait(lock, [this] { return m_quit || m_openState != 0; });
    return m_openState > 0;
}

std::unique_ptr<Platform::H264Picture> VTPCompressionSession::takePicture()
{
    std::unique_lock lock(m_mutex);
    m_converterWake.wait(lock, [this] { return m_quit || !m_freePictures.empty() || m_madePictures < kPictures; });
    if (m_quit)
        return {};
    if (!m_freePictures.empty()) {
        std::unique_ptr<Platform::H264Picture> picture = std::move(m_freePictures.back());
        m_freePictures.pop_back();
        return picture;
    }
    ++m_madePictures;
    lock.unlock();
    std::unique_ptr<Platform::H264Picture> picture = m_encoder->makePicture();
    if (!picture) {
        lock.lock();
        --m_madePictures;
    }
    return picture;
}

void VTPCompressionSession::convertLoop()
{
    // The encoder opens with the first picture, whose duration gives the
    // frame rate that rate control plans with.
    bool open = false;
    std::optional<Platform::H264EncoderConfig> pending;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
            if (m_quit)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        Staged staged;
        staged.kind = job.kind;
        staged.sequence = job.sequence;
        staged.pts = job.pts;
        staged.duration = job.duration;
        staged.forceKeyframe = job.forceKeyframe;
        switch (job.kind) {
        case Job::Open:
            pending = job.config;
            break;
        case Job::Frame:
            if (pending && !open && !m_openFailed) {
                Platform::H264EncoderConfig config = *pending;
                if (job.duration > 0)
                    config.fps = int(std::clamp<qint64>((1000 + job.duration / 2) / job.duration, 1, 240));
                open = openOnCodingThread(config);
            }
            if (open) {
                staged.picture = takePicture();
                if (staged.picture && !m_encoder->convert(job.frame, *staged.picture)) {
                    // Reported as a drop in its place among the coded ones.
                    std::lock_guard lock(m_mutex);
                    m_freePictures.push_back(std::move(staged.picture));
                }
            }
            // The capture's buffer goes back as soon as it is converted.
            job.frame.reset();
            break;
        case Job::Reconfigure:
            if (open) {
                staged.config = job.config;
            } else if (pending) {
                pending->averageBitrate = job.config.averageBitrate;
                pending->dataRateLimitBytes = job.config.dataRateLimitBytes;
                pending->dataRateLimitSeconds = job.config.dataRateLimitSeconds;
            }
            break;
        case Job::Flush:
            break;
        }
        staged.open = open;
        {
            std::lock_guard lock(m_mutex);
            if (m_quit)
                return;
            m_staged.push_back(std::move(staged));
        }
        m_stagedWake.notify_all();
    }
}

void VTPCompressionSession::codeLoop()
{
    for (;;) {
        Staged staged;
        {
            std::unique_lock lock(m_mutex);
            m_stagedWake.wait(lock, [this] { return m_quit || !m_staged.empty(); });
            if (m_quit)
                return;
            staged = std::move(m_staged.front());
            m_staged.pop_front();
        }
        if (staged.openEncoder) {
            QString error;
            const bool opened = m_encoder->open(staged.config, &error);
            if (!opened) {
                m_openFailed = true;
                report("prepareToEncodeFrames", __LINE__,
                       videoToolboxErrorWithStatus(VTPStatus::kCouldNotFindVideoEncoderErr), nullptr);
                qWarning().noquote() << error;
            }
            {
                std::lock_guard lock(m_mutex);
                m_openState = opened ? 1 : -1;
            }
            m_converterWake.notify_all();
            continue;
        }
        std::vector<Platform::H264EncodedFrame> coded;
        switch (staged.kind) {
        case Job::Open:
            break;
        case Job::Frame:
            if (staged.picture
                && m_encoder->encodePicture(*staged.picture, staged.pts, staged.duration, staged.forceKeyframe,
                                            coded))
                deliver(coded);
            else
                deliverDrop(staged.pts, staged.duration);
            if (staged.picture) {
                {
                    std::lock_guard lock(m_mutex);
                    m_freePictures.push_back(std::move(staged.picture));
                }
                m_converterWake.notify_all();
            }
            --m_queuedFrames;
            m_delayedFrames = staged.open ? m_encoder->delayedFrames() : 0;
            break;
        case Job::Reconfigure:
            if (staged.open)
                m_encoder->reconfigure(staged.config);
            break;
        case Job::Flush:
            if (staged.open && m_encoder->flush(coded))
                deliver(coded);
            m_delayedFrames = 0;
            break;
        }
        {
            std::lock_guard lock(m_mutex);
            m_doneJob = staged.sequence;
            while (!m_inFlight.empty() && m_inFlight.front().sequence <= m_doneJob)
                m_inFlight.pop_front();
        }
        m_idle.notify_all();
    }
}

void VTPCompressionSession::deliver(std::vector<Platform::H264EncodedFrame> &coded)
{
    for (Platform::H264EncodedFrame &frame : coded) {
        auto buffer = std::make_shared<VTPSampleBuffer>();
        buffer->dataBuffer = std::move(frame.data);
        if (!frame.sps.isEmpty() && !frame.pps.isEmpty())
            buffer->parameterSets = {frame.sps, frame.pps};
        buffer->notSync = !frame.keyframe;
        buffer->presentationTimeStamp = frame.pts;
        buffer->duration = frame.duration;
        postDelivery(buffer, false);
    }
}

void VTPCompressionSession::deliverDrop(qint64 pts, qint64 duration)
{
    auto buffer = std::make_shared<VTPSampleBuffer>();
    buffer->presentationTimeStamp = pts;
    buffer->duration = duration;
    postDelivery(buffer, true);
}

void VTPCompressionSession::postDelivery(const VTPSampleBufferRef &buffer, bool dropped)
{
    std::shared_ptr<Delivery> delivery = m_delivery;
    QObject *target = nullptr;
    {
        std::lock_guard lock(delivery->mutex);
        if (!delivery->delegate)
            return;
        target = delivery->queue ? delivery->queue.data() : QCoreApplication::instance();
    }
    if (!target)
        return;
    ThreadHandover::post(target, [delivery, buffer, dropped] {
        VTPCompressionSessionDelegate *delegate = nullptr;
        VTPCompressionSession *session = nullptr;
        {
            std::lock_guard lock(delivery->mutex);
            delegate = delivery->delegate;
            session = delivery->session;
        }
        if (!delegate || !session)
            return;
        if (dropped)
            delegate->videoCompressionSessionDidDropSampleBuffer(session, buffer);
        else
            delegate->videoCompressionSessionDidEncodeSampleBuffer(session, buffer);
    });
}
