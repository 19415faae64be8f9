#include "Mirror/VideoSenderBase.h"

#include <QDebug>
#include <algorithm>
#include <climits>

#include "Mirror/H264Packet.h"
#include "Mirror/VideoDisplaySession.h"
#include "Mirror/VideoSession.h"
#include "Mirror/VideoSizing.h"
#include "Platform/TcpOptions.h"
#include "Socket/SocketErrors.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/ThreadHandover.h"


VideoSenderServices VideoSenderServices::fromPlatform(const Platform::PlatformServices &platform)
{
    VideoSenderServices services;
    services.makeScreenSource = platform.makeScreenSource;
    services.makeEncoder = platform.makeH264Encoder;
    return services;
}

VideoSenderBase::VideoSenderBase(DevicePtr device, VideoSenderServices services, MediaThread &media,
                                 int sizeMultiple, QObject *parent)
    : QObject(parent), m_device(std::move(device)), m_services(std::move(services)), m_media(media)
{
    if (m_services.makeScreenSource)
        m_screenSource = m_services.makeScreenSource();

    const QSize start = VideoSizing::startSize(screenPixelSize(), sizeMultiple);
    m_screenWidth = start.width();
    m_screenHeight = start.height();
    m_fps = 20;

    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &VideoSenderBase::restartCaptureAfterResize);
}

VideoLink::Hooks VideoSenderBase::linkHooks()
{
    // The link's status hooks run on the media thread and post to this
    // sender; they are gone with the link, which goes before this sender.
    VideoLink::Hooks hooks;
    hooks.writePacket = [this](GCDAsyncSocket &socket, quint16 type, const QByteArray &payload) {
        writePacket(socket, type, payload);
    };
    hooks.configureConnected = [this](GCDAsyncSocket &socket) { configureConnectedSocket(socket); };
    hooks.pictureReady = [this](const VTPSampleBuffer &picture) { pictureReady(picture); };
    hooks.frameWritten = m_services.frameWritten;
    hooks.connected = [this] { ThreadHandover::post(this, [this] { linkConnected(); }); };
    hooks.ended = [this](std::optional<qint32> status) {
        ThreadHandover::post(this, [this, status] { linkEnded(status); });
    };
    hooks.encoderFailed = [this](quint64 generation) {
        ThreadHandover::post(this, [this, generation] {
            if (generation == m_generation && m_capturing)
                failCast(QStringLiteral("the encoder cannot encode"));
        });
    };
    return hooks;
}

VideoSenderBase::~VideoSenderBase()
{
    // The roads end their media in their destructors; this catches a road
    // that does not, before anything the threads use goes.
    endMedia();
}

void VideoSenderBase::endMedia()
{
    m_stopped = true;
    m_restartTimer.stop();
    stopScreenCapture();
    if (m_screenSource)
        m_screenSource->stop();
    // The encoder's threads are joined: nothing more is delivered to the link.
    m_encoder.reset();
    if (m_link) {
        linkWillGo();
        m_media.destroy(m_link);
        m_link = nullptr;
    }
    m_linkBusy = false;
}

void VideoSenderBase::withLink(const std::function<void(VideoLink &)> &task)
{
    if (!m_link)
        return;
    VideoLink *link = m_link;
    m_media.run([link, &task] { task(*link); });
}

QSize VideoSenderBase::screenPixelSize()
{
    return m_screenSource ? m_screenSource->mainDisplayBounds().size() : QSize();
}

void VideoSenderBase::startMrror()
{
    logStartMirror();
    if (!m_linkBusy || m_stopped)
        return;
    if (!m_link) {
        m_link = m_media.make<VideoLink>(linkHooks(), m_services.maxQueuedBytes);
        if (!m_link) {
            failCast(QStringLiteral("no media thread"));
            return;
        }
        linkMade();
    }
    const QString host = m_device ? m_device->mHostIp : QString();
    // A port no connection can have is refused, not cut to 16 bits (which
    // would reach some other service of the receiver).
    const qint64 port = DynamicPortTable::getDynamicPort_51030();
    TavlinError error;
    bool started = false;
    if (port >= 1 && port <= 65535) {
        const int timeoutMs = m_services.timings.connectTimeoutMs;
        withLink([&](VideoLink &link) { started = link.connectToHost(host, quint16(port), timeoutMs, &error); });
    }
    if (started)
        return;
    qInfo().noquote() << "connecthot failed";
    failCast(port >= 1 && port <= 65535 ? error.description : QStringLiteral("video port %1").arg(port));
}

void VideoSenderBase::stopMirror()
{
    logStopMirror();
    m_stopped = true;
    // A re-size waiting to restart capture must not outlive the stop.
    m_restartTimer.stop();
    // Nothing is captured or encoded from here on.
    stopScreenCapture();
    // Nor may a connect still under way go on: once it completed it would
    // start capture after the user pressed stop. The close is reported from
    // the media thread's event loop; nothing is written after it.
    withLink([](VideoLink &link) { link.close(false); });
}

void VideoSenderBase::setMonitorCallback(std::function<void(qint32)> callback)
{
    m_monitorblock = std::move(callback);
}

void VideoSenderBase::setPauseResumeMark(bool pause)
{
    m_pauseCast = pause;
}

void VideoSenderBase::linkConnected()
{
    if (m_stopped || m_failed || !m_linkBusy)
        return;
    startScreenCapture();
}

void VideoSenderBase::linkEnded(std::optional<qint32> status)
{
    m_restartTimer.stop();
    stopScreenCapture();
    m_linkBusy = false;
    // An end that crossed a stop is not reported: the owner asked for it.
    // Last: the owner may drop this sender from inside the callback.
    if (status && m_monitorblock && !m_stopped) {
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
    bool closing = false;
    withLink([&](VideoLink &link) {
        // Its end is reported from the disconnect road, as a failure.
        closing = !link.isDisconnected();
        link.close(true);
    });
    if (closing)
        return;
    m_linkBusy = false;
    reportLater(kStatusOther);
}

void VideoSenderBase::failCastFromCaptureThread(quint64 generation, const QString &reason)
{
    ThreadHandover::post(this, [this, generation, reason] {
        if (generation == m_generation && m_capturing)
            failCast(reason);
    });
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

void VideoSenderBase::setTcpNoDelay(GCDAsyncSocket &socket)
{
    bool ok = false;
    socket.performBlock([&socket, &ok] { ok = Platform::TcpOptions::setNoDelay(socket.socketFD()); });
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
    // Results go to the link on the media thread, never through this one.
    session->setDelegate(m_link, m_link);
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
    if (m_capturing || m_stopped || !m_link)
        return;
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
    options.maxFramesHeld = m_services.maxFramesHeld;
    const CaptureContext context{++m_generation, m_link, m_encoder.get()};
    withLink([&context](VideoLink &link) { link.setEncoder(context.encoder, context.generation); });
    captureWillStart(context);
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
    if (m_capturing) {
        // The capture thread ends before the encoder it feeds.
        if (m_screenSource)
            m_screenSource->stop();
        m_capturing = false;
        // The pictures still in the encoder go out: their results reach the
        // media thread before the call below lets the encoder go there, so
        // the link never looks into an encoder that is gone.
        if (m_encoder)
            m_encoder->finish();
    }
    withLink([](VideoLink &link) { link.setEncoder(nullptr, 0); });
}

void VideoSenderBase::changeEncoderAttributeRelated(const EncoderSizeRequest &request)
{
    if (request.width <= 0 || request.height <= 0) {
        qInfo().noquote() << QStringLiteral("ignored encoder size %1x%2").arg(request.width).arg(request.height);
        return;
    }
    const QSize fitted = VideoSizing::fittedSize(QSize(std::min(request.width, INT_MAX / 4),
                                                       std::min(request.height, INT_MAX / 4)),
                                                 screenPixelSize());
    if (!EncoderSizeRequest::sideInRange(fitted.width()) || !EncoderSizeRequest::sideInRange(fitted.height())) {
        qInfo().noquote() << QStringLiteral("ignored encoder size %1x%2").arg(fitted.width()).arg(fitted.height());
        return;
    }
    const qint64 fps = std::clamp(request.fps, EncoderSizeRequest::kMinFps, EncoderSizeRequest::kMaxFps);
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
    bool connected = false;
    withLink([&connected](VideoLink &link) { connected = link.isConnected(); });
    if (!m_stopped && m_linkBusy && connected)
        startScreenCapture();
}

std::unique_ptr<VideoSenderBase> makeVideoSender(bool captureSessionRoad, const DevicePtr &device,
                                                 const VideoSenderServices &services, MediaThread &media)
{
    if (captureSessionRoad)
        return std::make_unique<VideoSession>(device, services, media);
    return std::make_unique<VideoDisplaySession>(device, services, media);
}

std::unique_ptr<VideoSenderBase> makeVideoSenderForCpuBrand(const DevicePtr &device,
                                                            const VideoSenderServices &services, MediaThread &media)
{
    return makeVideoSender(TavlinGlobal::getMacCpuChipBrand() == QLatin1String("Apple"), device, services, media);
}
