#include "Mirror/VideoDisplaySession.h"

#include <QDebug>

#include "Mirror/H264Packet.h"
#include "Mirror/TickCount.h"

VideoDisplaySession::VideoDisplaySession(DevicePtr device, VideoSenderServices services, QObject *parent)
    : VideoSenderBase(std::move(device), std::move(services), 2, parent)
{
    m_captureScreenTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_captureScreenTimer, &QTimer::timeout, this, &VideoDisplaySession::CaptureTimeout);
}

VideoDisplaySession::~VideoDisplaySession()
{
    stopScreenCapture();
}

void VideoDisplaySession::logStartMirror()
{
    qInfo().noquote() << "video display session start mirror";
    m_currentSockTag = 0;
}

void VideoDisplaySession::logStopMirror()
{
    qInfo().noquote() << "video display session stop mirror";
}

void VideoDisplaySession::configureConnectedSocket()
{
    setTcpNoDelay();
}

VideoSenderBase::EncoderRates VideoDisplaySession::encoderRates() const
{
    const bool tall = m_screenHeight > 1080;
    return {tall ? 6710886 : 3355443, tall ? 2097152 : 1048576};
}

void VideoDisplaySession::captureOutput(const Platform::VideoFramePtr &frame, const CaptureContext &context)
{
    // Frames travel to the main thread; while two wait there, newer ones are
    // let go, as a stream with a queue depth of two does.
    if (m_framesWaiting.load() >= kQueueDepth)
        return;
    ++m_framesWaiting;
    QMetaObject::invokeMethod(
        this,
        [this, generation = context.generation, frame] {
            --m_framesWaiting;
            displayStreamFrame(generation, frame);
        },
        Qt::QueuedConnection);
}

void VideoDisplaySession::captureDidStart()
{
    m_captureScreenTimer.start(int(1000 / std::max<qint64>(1, m_fps)));
}

void VideoDisplaySession::captureWillStop(bool)
{
    m_captureScreenTimer.stop();
}

void VideoDisplaySession::displayStreamFrame(quint64 generation, const Platform::VideoFramePtr &frame)
{
    if (generation != captureGeneration() || !m_capturing)
        return;
    m_captureScreenTimout = 0;
    m_currentSurface = frame;
    if (!m_pauseCast)
        submit(frame);
}

void VideoDisplaySession::CaptureTimeout()
{
    const qint64 period = 1000 / std::max<qint64>(1, m_fps);
    if (m_currentSurface && m_captureScreenTimout >= 2 * period) {
        if (!m_pauseCast)
            submit(m_currentSurface);
    }
    m_captureScreenTimout += period;
}

void VideoDisplaySession::submit(const Platform::VideoFramePtr &frame)
{
    if (!m_encoder)
        return;
    // A receiver that stopped reading: no new pictures until the queue drains
    // (pictures already encoded are all sent, so the stream stays decodable).
    if (m_videoSocket && m_videoSocket->queneCount() > m_services.maxQueuedWrites)
        return;
    encodeFrame(m_encoder.get(), frame, qint64(GetTickCount64()), 1000 / std::max<qint64>(1, m_fps), m_firstFrame);
}

void VideoDisplaySession::videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *session,
                                                                       const VTPSampleBufferRef &sampleBuffer)
{
    if (session != m_encoder.get())
        return;
    sendEncodedFrame(sampleBuffer);
}

void VideoDisplaySession::sendBytes(quint16 type, const QByteArray &payload)
{
    if (!m_videoSocket || !m_videoSocket->isConnected())
        return;
    m_videoSocket->writeData(H264Packet::packetWithPayload(payload, type), -1, ++m_currentSockTag);
}
