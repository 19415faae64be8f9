#include "Mirror/VideoSession.h"

#include <QDebug>

#include "Mirror/H264Packet.h"
#include "Mirror/TickCount.h"

VideoSession::VideoSession(DevicePtr device, VideoSenderServices services, MediaThread &media, QObject *parent)
    : VideoSenderBase(std::move(device), std::move(services), media, 8, parent)
{
}

VideoSession::~VideoSession()
{
    endMedia();
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
    // The socket's count of waiting writes is kept by the media thread and
    // read here without waiting for it: while any write waits, new pictures
    // are dropped before they cost an encode.
    const qint64 queued = context.link ? context.link->queuedWrites() : 0;
    if (queued < 1) {
        if (!m_pauseCast && context.encoder) {
            qint64 pts = qint64(GetTickCount64());
            if (context.link)
                pts = context.link->stampForEncoder(pts, frame->timestampMs);
            context.encoder->encodePixelBuffer(frame, pts, 1000 / std::max<qint64>(1, m_fps), false);
        }
    } else {
        qInfo().noquote() << QString::asprintf("quenecount is %ld,drop frame", long(queued));
    }
}

void VideoSession::pictureReady(const VTPSampleBuffer &picture)
{
    if (!picture.notSync)
        qInfo().noquote() << QString::asprintf("get one frame is keyframe %d", 1);
}

void VideoSession::writePacket(GCDAsyncSocket &socket, quint16 type, const QByteArray &payload)
{
    const QByteArray header = H264Packet::headerForPayload(quint32(payload.size()), type,
                                                           H264Packet::timestampForTickCount(GetTickCount64()));
    socket.writeData(header, -1, 0);
    socket.writeData(payload, -1, 0);
}
