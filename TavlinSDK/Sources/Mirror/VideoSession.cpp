#include "Mirror/VideoSession.h"

#include <QDebug>

#include "Mirror/H264Packet.h"
#include "Mirror/TickCount.h"

VideoSession::VideoSession(DevicePtr device, VideoSenderServices services, QObject *parent)
    : VideoSenderBase(std::move(device), std::move(services), 8, parent)
{
}

VideoSession::~VideoSession()
{
    stopScreenCapture();
}

void VideoSession::logStopMirror()
{
    qInfo().noquote() << "video session stop mirror";
}

void VideoSession::startScreenCapture()
{
    m_firstFrame = true;
    m_encoder = makeEncoder(6710886, 1048576);
    if (!m_screenSource)
        return;
    Platform::ScreenCaptureOptions options;
    options.fps = int(m_fps);
    options.showCursor = true;
    options.dropDuplicates = true;
    // The capture thread uses the socket and the encoder as they are now:
    // both outlive the capture, which is stopped before either changes.
    GCDAsyncSocket *socket = m_videoSocket;
    VTPCompressionSession *encoder = m_encoder.get();
    m_capturing = m_screenSource->start(options, [this, socket, encoder](Platform::VideoFramePtr frame) {
        captureOutput(frame, socket, encoder);
    });
    qInfo().noquote() << "startScreenCapture";
}

void VideoSession::stopScreenCapture()
{
    qInfo().noquote() << "stopScreenCapture..";
    if (!m_capturing)
        return;
    qInfo().noquote() << "stopScreenCapture";
    // The capture thread ends before the encoder it feeds.
    if (m_screenSource)
        m_screenSource->stop();
    m_capturing = false;
    if (m_encoder)
        m_encoder->finish();
}

void VideoSession::captureOutput(const Platform::VideoFramePtr &frame, GCDAsyncSocket *socket,
                                 VTPCompressionSession *encoder)
{
    const qint64 queued = socket ? socket->queneCount() : 0;
    if (queued < 1) {
        if (!m_pauseCast && encoder)
            encoder->encodePixelBuffer(frame, qint64(GetTickCount64()), 1000 / std::max<qint64>(1, m_fps), false);
    } else {
        qInfo().noquote() << QString::asprintf("quenecount is %ld,drop frame", long(queued));
    }
}

void VideoSession::videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *session,
                                                                const VTPSampleBufferRef &sampleBuffer)
{
    if (session != m_encoder.get())
        return;
    if (!sampleBuffer->notSync)
        qInfo().noquote() << QString::asprintf("get one frame is keyframe %d", 1);
    sendEncodedFrame(sampleBuffer);
}

void VideoSession::sendBytes(quint16 type, const QByteArray &payload)
{
    if (!m_videoSocket || !m_videoSocket->isConnected())
        return;
    const QByteArray header = H264Packet::headerForPayload(quint32(payload.size()), type,
                                                           H264Packet::timestampForTickCount(GetTickCount64()));
    m_videoSocket->writeData(header, -1, 0);
    m_videoSocket->writeData(payload, -1, 0);
}
