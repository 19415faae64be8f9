#include "Mirror/VideoSenderBase.h"

#include <QDebug>
#include <QVariantMap>
#include <algorithm>
#include <climits>

#include "Mirror/H264Packet.h"
#include "Mirror/VideoDisplaySession.h"
#include "Mirror/VideoSession.h"
#include "Mirror/VideoSizing.h"
#include "Platform/TcpOptions.h"
#include "Socket/SocketErrors.h"
#include "Utils/IntegerValue.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

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
    if (!m_videoSocket)
        return;
    const QString host = m_device ? m_device->mHostIp : QString();
    const quint16 port = quint16(DynamicPortTable::getDynamicPort_51030());
    TavlinError error;
    if (m_videoSocket->connectToHost(host, port, m_services.timings.connectTimeoutMs, &error))
        m_videoSocket->setUserData(0);
    else
        qInfo().noquote() << "connecthot failed";
}

void VideoSenderBase::stopMirror()
{
    logStopMirror();
    // A re-size waiting to restart capture must not outlive the stop.
    m_restartTimer.stop();
    if (m_videoSocket && m_videoSocket->isConnected()) {
        m_videoSocket->setUserData(1);
        m_videoSocket->disconnect();
    }
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
    else if (userData == 0)
        status = kStatusClosedByServer;
    else if (userData != 1)
        status = kStatusOther;

    releaseSocket();
    // Last: the owner may drop this sender from inside the callback.
    if (status && m_monitorblock) {
        const auto callback = m_monitorblock;
        callback(*status);
    }
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
    session->prepare();
    return session;
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
    if (m_videoSocket && m_videoSocket->isConnected())
        startScreenCapture();
}

std::unique_ptr<VideoSenderBase> makeVideoSenderForCpuBrand(const DevicePtr &device,
                                                            const VideoSenderServices &services)
{
    if (TavlinGlobal::getMacCpuChipBrand() == QLatin1String("Apple"))
        return std::make_unique<VideoSession>(device, services);
    return std::make_unique<VideoDisplaySession>(device, services);
}
