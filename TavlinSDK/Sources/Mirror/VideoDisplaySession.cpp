#include "Mirror/VideoDisplaySession.h"

#include <QDebug>
#include <QTimer>

#include "Mirror/H264Packet.h"
#include "Mirror/TickCount.h"
#include "Utils/ThreadHandover.h"

// The display-stream road's frame handling, on the media thread: the frames
// the capture thread hands over, the repeat of a still screen, and the
// submission to the encoder. Frames never wait on the main thread.
class DisplayStreamPacer : public QObject {
public:
    static constexpr int kQueueDepth = 2;

    DisplayStreamPacer(VideoLink *link, const std::atomic<bool> *paused, int maxQueuedWrites)
        : m_link(link), m_paused(paused), m_maxQueuedWrites(maxQueuedWrites)
    {
        m_repeatTimer.setTimerType(Qt::PreciseTimer);
        connect(&m_repeatTimer, &QTimer::timeout, this, [this] { repeatTick(); });
    }

    // On the media thread: the capture `generation` feeds `encoder` from now.
    void begin(VTPCompressionSession *encoder, quint64 generation, qint64 fps)
    {
        m_encoder = encoder;
        m_generation = generation;
        m_period = 1000 / std::max<qint64>(1, fps);
        m_sinceLastFrame = 0;
        m_currentSurface.reset();
        m_repeatTimer.start(int(m_period));
    }
    // On the media thread: no more pictures for the encoder of the capture.
    void end()
    {
        m_repeatTimer.stop();
        m_encoder = nullptr;
        m_currentSurface.reset();
    }

    // On the capture thread. This queue only bounds what waits: when two
    // frames wait, the new one is let go (not the oldest), as the stream's
    // queue depth does, so what is encoded stays in capture order and a
    // burst costs no extra encodes.
    void offer(quint64 generation, const Platform::VideoFramePtr &frame)
    {
        if (m_waiting.load() >= kQueueDepth)
            return;
        ++m_waiting;
        ThreadHandover::post(this, [this, generation, frame] {
            --m_waiting;
            streamFrame(generation, frame);
        });
    }

private:
    void streamFrame(quint64 generation, const Platform::VideoFramePtr &frame)
    {
        if (generation != m_generation || !m_encoder)
            return;
        m_sinceLastFrame = 0;
        m_currentSurface = frame;
        if (!m_paused->load())
            submit(frame);
    }

    void repeatTick()
    {
        if (m_currentSurface && m_sinceLastFrame >= 2 * m_period && !m_paused->load())
            submit(m_currentSurface); // sent again, it keeps its capture time
        m_sinceLastFrame += m_period;
    }

    void submit(const Platform::VideoFramePtr &frame)
    {
        if (!m_encoder)
            return;
        // A receiver that stopped reading: no new pictures until the queue
        // drains (pictures already encoded are all sent, so the stream stays
        // decodable).
        if (m_link->queuedWrites() > m_maxQueuedWrites)
            return;
        const qint64 pts = m_link->stampForEncoder(qint64(GetTickCount64()), frame->timestampMs);
        m_encoder->encodePixelBuffer(frame, pts, m_period, m_link->awaitingFirstPicture());
    }

    VideoLink *m_link;
    const std::atomic<bool> *m_paused;
    const int m_maxQueuedWrites;
    VTPCompressionSession *m_encoder = nullptr;
    quint64 m_generation = 0;
    qint64 m_period = 50;
    qint64 m_sinceLastFrame = 0;
    Platform::VideoFramePtr m_currentSurface;
    QTimer m_repeatTimer;
    std::atomic<int> m_waiting{0};
};

VideoDisplaySession::VideoDisplaySession(DevicePtr device, VideoSenderServices services, MediaThread &media,
                                         QObject *parent)
    : VideoSenderBase(std::move(device), std::move(services), media, 2, parent)
{
}

VideoDisplaySession::~VideoDisplaySession()
{
    endMedia();
}

void VideoDisplaySession::linkMade()
{
    m_pacer = media().make<DisplayStreamPacer>(link(), &m_pauseCast, m_services.maxQueuedWrites);
}

void VideoDisplaySession::linkWillGo()
{
    // Capture and encoder have ended: nothing feeds the pacer any more, and
    // it feeds nothing.
    media().destroy(m_pacer);
    m_pacer = nullptr;
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

void VideoDisplaySession::configureConnectedSocket(GCDAsyncSocket &socket)
{
    setTcpNoDelay(socket);
}

VideoSenderBase::EncoderRates VideoDisplaySession::encoderRatesForHeight(qint64 height)
{
    const bool tall = height > 1080;
    return {tall ? 6710886 : 3355443, tall ? 2097152 : 1048576};
}

VideoSenderBase::EncoderRates VideoDisplaySession::encoderRates() const
{
    return encoderRatesForHeight(m_screenHeight);
}

void VideoDisplaySession::captureOutput(const Platform::VideoFramePtr &frame, const CaptureContext &context)
{
    // Capture runs only while the link, and with it the pacer, exists.
    m_pacer->offer(context.generation, frame);
}

void VideoDisplaySession::captureWillStart(const CaptureContext &context)
{
    DisplayStreamPacer *pacer = m_pacer;
    if (!pacer)
        return;
    const qint64 fps = m_fps;
    media().run([pacer, context, fps] { pacer->begin(context.encoder, context.generation, fps); });
}

void VideoDisplaySession::captureWillStop(bool)
{
    // The pacer stops submitting before the encoder finishes.
    DisplayStreamPacer *pacer = m_pacer;
    if (pacer)
        media().run([pacer] { pacer->end(); });
}

void VideoDisplaySession::writePacket(GCDAsyncSocket &socket, quint16 type, const QByteArray &payload)
{
    socket.writeData(H264Packet::packetWithPayload(payload, type), -1, ++m_currentSockTag);
}
