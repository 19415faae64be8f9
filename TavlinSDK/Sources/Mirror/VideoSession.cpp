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

void VideoSession::captureDidStart()
{
    qInfo().noquote() << "startScreenCapture";
}

void VideoSession::captureWillStop(bool running)
{
    qInfo().noquote() << "stopScreenCapture..";
    if (running)
        qInfo().noquote() << "stopScreenCapture";
}

void VideoSession::captureOutput(const Platform::VideoFramePtr &frame, const CaptureContext &context)
{
    const qint64 queued = context.socket ? context.socket->queneCount() : 0;
    if (queued < 1) {
        if (!m_pauseCast && context.encoder)
            encodeFrame(context.encoder, frame, qint64(GetTickCount64()), 1000 / std::max<qint64>(1, m_fps), false);
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
