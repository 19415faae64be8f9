#include "Mirror/VideoSenderBase.h"

#include <QDebug>
#include <QVariantMap>
#include <algorithm>
#include <climits>

#include "Mirror/H264Packet.h"
#include "Mirror/TickCount.h"
#include "Mirror/VideoDisplaySession.h"
#include "Mirror/VideoSession.h"
#include "Mirror/VideoSizing.h"
#include "Platform/TcpOptions.h"
#include "Socket/SocketErrors.h"
#include "Utils/IntegerValue.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

// User values of the video socket: live, closed by this side, and closed
// because the video cannot go on (reported as a failure, -1).
constexpr qint64 kSocketLive = 0;
constexpr qint64 kSocketClosedHere = 1;
constexpr qint64 kSocketFailedHere = 2;

// Sizes outside this range are not a screen the receiver can mean.
constexpr int kMinEncoderSide = 16;
constexpr int kMaxEncoderSide = 8192;
constexpr qint64 kMaxFps = 60;

// The integer at the start of a text ("1280", " 720", "30fps"), or the
// number itself; 0 when there is none.
qint64 integerValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray)
        return integerValueOfText(value.toString());
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || d != d)
        return 0;
    return qint64(std::clamp(d, double(LLONG_MIN / 2), double(LLONG_MAX / 2)));
}

} // namespace

VideoSenderServices VideoSenderServices::fromPlatform(const Platform::PlatformServices &platform)
{
    VideoSenderServices services;
    services.makeScreenSource = platform.makeScreenSource;
    services.makeEncoder = platform.makeH264Encoder;
    return services;
}

VideoSenderBase::VideoSenderBase(DevicePtr device, VideoSenderServices services, int sizeMultiple, QObject *parent)
    : QObject(parent), m_device(std::move(device)), m_services(std::move(services))
{
    if (m_services.makeScreenSource)
        m_screenSource = m_services.makeScreenSource();
    m_videoSocket = new GCDAsyncSocket(this, this);
    m_videoSocket->setMaxWaitingBytes(m_services.maxQueuedBytes);
    const QSize start = VideoSizing::startSize(screenPixelSize(), sizeMultiple);
    m_screenWidth = start.width();
    m_screenHeight = start.height();
    m_fps = 20;

    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &VideoSenderBase::restartCaptureAfterResize);
    if (m_services.notificationCenter) {
        connect(m_services.notificationCenter.data(), SIGNAL(notificationPosted(QString, QVariant)), this,
                SLOT(onNotificationPosted(QString, QVariant)));
    }
}

VideoSenderBase::~VideoSenderBase()
{
    // The road's own capture is stopped by its destructor; what is left here
    // holds no thread any more once these are gone.
    m_restartTimer.stop();
    if (m_screenSource)
        m_screenSource->stop();
    m_encoder.reset();
    if (m_videoSocket) {
        m_videoSocket->setDelegate(nullptr);
        m_videoSocket->disconnect();
    }
}

QSize VideoSenderBase::screenPixelSize()
{
    return m_screenSource ? m_screenSource->mainDisplayBounds().size() : QSize();
}

void VideoSenderBase::startMrror()
{
    logStartMirror();
    if (!m_videoSocket || m_stopped)
        return;
    const QString host = m_device ? m_device->mHostIp : QString();
    // A port no connection can have is refused, not cut to 16 bits (which
    // would reach some other service of the receiver).
    const qint64 port = DynamicPortTable::getDynamicPort_51030();
    TavlinError error;
    if (port >= 1 && port <= 65535
        && m_videoSocket->connectToHost(host, quint16(port), m_services.timings.connectTimeoutMs, &error)) {
        m_videoSocket->setUserData(kSocketLive);
        return;
    }
    qInfo().noquote() << "connecthot failed";
    failCast(port >= 1 && port <= 65535 ? error.description : QStringLiteral("video port %1").arg(port));
}

void VideoSenderBase::stopMirror()
{
    logStopMirror();
    m_stopped = true;
    // A re-size waiting to restart capture must not outlive the stop.
    m_restartTimer.stop();
    // Nor may a connect still under way: once it completed it would start
    // capture after the user pressed stop.
    if (m_videoSocket && !m_videoSocket->isDisconnected()) {
        m_videoSocket->setUserData(kSocketClosedHere);
        m_videoSocket->disconnect();
    }
    // Nothing is captured or encoded from here on; the close is reported
    // from the event loop.
    stopScreenCapture();
}

void VideoSenderBase::setMonitorCallback(std::function<void(qint32)> callback)
{
    m_monitorblock = std::move(callback);
}

void VideoSenderBase::setPauseResumeMark(bool pause)
{
    m_pauseCast = pause;
}

void VideoSenderBase::socketDidConnectToHost(GCDAsyncSocket *, const QString &, quint16)
{
    if (m_stopped)
        return;
    configureConnectedSocket();
    startScreenCapture();
}

void VideoSenderBase::socketDidDisconnect(GCDAsyncSocket *sock, const OptionalTavlinError &error)
{
    m_restartTimer.stop();
    stopScreenCapture();

    // A connect that timed out reports that alone: the cast ends once.
    std::optional<qint32> status;
    const qint64 userData = sock->userData();
    if (error && error->domain == SocketErrors::kGCDAsyncSocketErrorDomain
        && error->code == SocketErrors::GCDAsyncSocketConnectTimeoutError)
        status = kStatusConnectTimeout;
    else if (userData == kSocketLive)
        status = kStatusClosedByServer;
    else if (userData != kSocketClosedHere)
        status = kStatusOther;

    releaseSocket();
    // Last: the owner may drop this sender from inside the callback.
    if (status && m_monitorblock) {
        const auto callback = m_monitorblock;
        callback(*status);
    }
}

void VideoSenderBase::failCast(const QString &reason)
{
    if (m_failed || m_stopped)
        return;
    m_failed = true;
    qInfo().noquote() << "video cannot go on:" << reason;
    m_restartTimer.stop();
    stopScreenCapture();
    if (m_videoSocket && !m_videoSocket->isDisconnected()) {
        // Its end is reported from the disconnect road, as a failure.
        m_videoSocket->setUserData(kSocketFailedHere);
        m_videoSocket->disconnect();
        return;
    }
    releaseSocket();
    reportLater(kStatusOther);
}

void VideoSenderBase::failCastFromCaptureThread(quint64 generation, const QString &reason)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, reason] {
            if (generation == m_generation && m_capturing)
                failCast(reason);
        },
        Qt::QueuedConnection);
}

void VideoSenderBase::reportLater(qint32 status)
{
    // The callback in force when the status is delivered: the owner may set
    // it right after starting this sender.
    QMetaObject::invokeMethod(
        this,
        [this, status] {
            if (m_monitorblock) {
                const auto callback = m_monitorblock;
                callback(status);
            }
        },
        Qt::QueuedConnection);
}

void VideoSenderBase::releaseSocket()
{
    if (!m_videoSocket)
        return;
    GCDAsyncSocket *socket = m_videoSocket;
    m_videoSocket = nullptr;
    socket->setDelegate(nullptr);
    socket->setParent(nullptr);
    socket->deleteLater();
}

void VideoSenderBase::setTcpNoDelay()
{
    if (!m_videoSocket)
        return;
    bool ok = false;
    GCDAsyncSocket *socket = m_videoSocket;
    socket->performBlock([socket, &ok] { ok = Platform::TcpOptions::setNoDelay(socket->socketFD()); });
    if (!ok)
        qInfo().noquote() << "ryle,tcp nodelay fail....";
}

std::unique_ptr<VTPCompressionSession> VideoSenderBase::makeEncoder(qint32 averageBitrate, qint64 limitBytes)
{
    std::unique_ptr<Platform::H264Encoder> platformEncoder;
    if (m_services.makeEncoder)
        platformEncoder = m_services.makeEncoder();
    auto session = std::make_unique<VTPCompressionSession>(int(m_screenWidth), int(m_screenHeight), kVTPCodecTypeH264,
                                                           nullptr, std::move(platformEncoder));
    if (!session->isValid())
        return session;
    session->setDelegate(this, nullptr);
    // Failures of the set-up are collected, not acted on: the encoder then
    // runs with its own choice for that property.
    TavlinError error;
    session->setRealtime(true);
    session->setAllowFrameReordering(false, &error);
    session->setMaxKeyframeInterval(1440000, &error);
    session->setAverageBitrate(averageBitrate, &error);
    session->setDataRateLimits(QVariantList{limitBytes, 1}, &error);
    session->setMaxframeDelayCount(1, &error);
    // Main profile, level chosen by the encoder: every decoder that takes
    // High takes it, and it keeps CABAC.
    session->setProfileLevel(VTPProfileLevel::H264_Main_AutoLevel, &error);
    session->prepare();
    return session;
}

void VideoSenderBase::startScreenCapture()
{
    // One capture at a time: a re-size that lands while the connection comes
    // up would otherwise start a second one and free the encoder under the
    // first one's thread.
    if (m_capturing || m_stopped)
        return;
    m_firstFrame = true;
    const EncoderRates rates = encoderRates();
    m_encoder = makeEncoder(rates.averageBitrate, rates.limitBytes);
    if (!m_screenSource) {
        failCast(QStringLiteral("no screen to capture"));
        return;
    }
    if (!m_encoder->isValid()) {
        // A screen without area gives no encoder size.
        failCast(QStringLiteral("no encoder for %1x%2").arg(m_screenWidth).arg(m_screenHeight));
        return;
    }
    Platform::ScreenCaptureOptions options;
    options.fps = int(m_fps);
    options.showCursor = true;
    options.dropDuplicates = true;
    const CaptureContext context{++m_generation, m_videoSocket, m_encoder.get()};
    m_capturing = m_screenSource->start(
        options, [this, context](Platform::VideoFramePtr frame) { captureOutput(frame, context); },
        [this, generation = context.generation](const QString &reason) {
            failCastFromCaptureThread(generation, reason);
        });
    if (!m_capturing) {
        failCast(QStringLiteral("the screen cannot be captured"));
        return;
    }
    captureDidStart();
}

void VideoSenderBase::stopScreenCapture()
{
    captureWillStop(m_capturing);
    if (!m_capturing)
        return;
    // The capture thread ends before the encoder it feeds.
    if (m_screenSource)
        m_screenSource->stop();
    m_capturing = false;
    if (m_encoder)
        m_encoder->finish();
}

void VideoSenderBase::sendEncodedFrame(const VTPSampleBufferRef &sampleBuffer)
{
    if (m_firstFrame) {
        H264Packet parameterSets;
        parameterSets.packetizeSPS_PPS(*sampleBuffer);
        sendBytes(H264PacketTypeParameterSets, parameterSets.data());
        m_firstFrame = false;
    }
    H264Packet frame(*sampleBuffer);
    sendBytes(H264PacketTypeCodedFrame, frame.data());
    if (m_services.frameWritten && m_videoSocket && m_videoSocket->isConnected()) {
        const std::optional<qint64> captured = captureTimeOf(sampleBuffer->presentationTimeStamp);
        if (captured)
            m_services.frameWritten(*captured, qint64(GetTickCount64()));
    }
}

void VideoSenderBase::encodeFrame(VTPCompressionSession *encoder, const Platform::VideoFramePtr &frame, qint64 pts,
                                  qint64 duration, bool forceKeyframe)
{
    // The encoder's time stamp is the submission time; the capture time
    // waits here for the coded picture, found by its time stamp. Two
    // pictures submitted within one millisecond get stamps one apart (as the
    // encoder would space them anyway), so that a dropped one can never lend
    // its capture time to the next.
    if (m_services.frameWritten) {
        std::lock_guard lock(m_captureTimesMutex);
        pts = std::max(pts, m_lastSubmittedPts + 1);
        m_lastSubmittedPts = pts;
        if (m_captureTimes.size() >= kMaxCaptureTimes)
            m_captureTimes.pop_front();
        m_captureTimes.emplace_back(pts, frame->timestampMs);
    }
    encoder->encodePixelBuffer(frame, pts, duration, forceKeyframe);
}

std::optional<qint64> VideoSenderBase::captureTimeOf(qint64 pts)
{
    // Pictures come out in the order they went in (no reordering); those
    // the encoder dropped are passed over.
    std::lock_guard lock(m_captureTimesMutex);
    while (!m_captureTimes.empty() && m_captureTimes.front().first < pts)
        m_captureTimes.pop_front();
    if (m_captureTimes.empty() || m_captureTimes.front().first != pts)
        return std::nullopt;
    const qint64 captured = m_captureTimes.front().second;
    m_captureTimes.pop_front();
    return captured;
}

void VideoSenderBase::videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession *session,
                                                                  const VTPSampleBufferRef &)
{
    // A full queue drops a picture now and then; an encoder that cannot be
    // opened drops every one.
    if (session == m_encoder.get() && m_capturing && !session->canEncode())
        failCast(QStringLiteral("the encoder cannot encode"));
}

void VideoSenderBase::onNotificationPosted(const QString &name, const QVariant &object)
{
    if (name == encoderNotificationName())
        changeEncoderAttributeRelated(object);
}

void VideoSenderBase::changeEncoderAttributeRelated(const QVariant &object)
{
    const QVariantMap map = object.toMap();
    const qint64 width = integerValue(map.value(QStringLiteral("encoder_width")));
    const qint64 height = integerValue(map.value(QStringLiteral("encoder_height")));
    const qint64 requestedFps = integerValue(map.value(QStringLiteral("encoder_fps")));
    if (width <= 0 || height <= 0) {
        qInfo().noquote() << QStringLiteral("ignored encoder size %1x%2").arg(width).arg(height);
        return;
    }
    const QSize fitted = VideoSizing::fittedSize(
        QSize(int(std::min<qint64>(width, INT_MAX / 4)), int(std::min<qint64>(height, INT_MAX / 4))),
        screenPixelSize());
    if (fitted.width() < kMinEncoderSide || fitted.height() < kMinEncoderSide || fitted.width() > kMaxEncoderSide
        || fitted.height() > kMaxEncoderSide) {
        qInfo().noquote() << QStringLiteral("ignored encoder size %1x%2").arg(fitted.width()).arg(fitted.height());
        return;
    }
    const qint64 fps = std::clamp<qint64>(requestedFps, 1, kMaxFps);
    if (fitted.width() == m_screenWidth && fitted.height() == m_screenHeight && fps == m_fps)
        return;
    // Capture ends before the values its thread reads change.
    stopScreenCapture();
    m_screenWidth = fitted.width();
    m_screenHeight = fitted.height();
    m_fps = fps;
    m_restartTimer.start(m_services.timings.resizeRestartDelayMs);
}

void VideoSenderBase::restartCaptureAfterResize()
{
    if (!m_stopped && m_videoSocket && m_videoSocket->isConnected())
        startScreenCapture();
}

std::unique_ptr<VideoSenderBase> makeVideoSenderForCpuBrand(const DevicePtr &device,
                                                            const VideoSenderServices &services)
{
    if (TavlinGlobal::getMacCpuChipBrand() == QLatin1String("Apple"))
        return std::make_unique<VideoSession>(device, services);
    return std::make_unique<VideoDisplaySession>(device, services);
}
