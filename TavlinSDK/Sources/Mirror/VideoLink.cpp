#include "Mirror/VideoLink.h"

#include "Mirror/H264Packet.h"
#include "Mirror/TickCount.h"
#include "Socket/SocketErrors.h"

VideoLink::VideoLink(Hooks hooks, qint64 maxQueuedBytes) : m_hooks(std::move(hooks))
{
    m_socket = new GCDAsyncSocket(this, this);
    m_socket->setMaxWaitingBytes(maxQueuedBytes);
}

VideoLink::~VideoLink()
{
    // The owner goes with this link: no end is reported.
    m_socket->setDelegate(nullptr);
    m_socket->disconnect();
}

bool VideoLink::connectToHost(const QString &host, quint16 port, int timeoutMs, TavlinError *error)
{
    if (!m_socket->connectToHost(host, port, timeoutMs, error))
        return false;
    m_socket->setUserData(kSocketLive);
    return true;
}

void VideoLink::close(bool failed)
{
    if (m_socket->isDisconnected())
        return;
    m_socket->setUserData(failed ? kSocketFailedHere : kSocketClosedHere);
    m_socket->disconnect();
}

bool VideoLink::isDisconnected() const
{
    return m_socket->isDisconnected();
}

bool VideoLink::isConnected() const
{
    return m_socket->isConnected();
}

void VideoLink::setEncoder(VTPCompressionSession *encoder, quint64 generation)
{
    m_encoder = encoder;
    m_generation = generation;
    m_firstPicture = true;
}

qint64 VideoLink::stampForEncoder(qint64 pts, qint64 captureTimeMs)
{
    if (!m_hooks.frameWritten)
        return pts;
    // Two pictures submitted within one millisecond get stamps one apart (as
    // the encoder would space them anyway), so that a dropped one can never
    // lend its capture time to the next.
    std::lock_guard lock(m_timesMutex);
    pts = std::max(pts, m_lastSubmittedPts + 1);
    m_lastSubmittedPts = pts;
    if (m_captureTimes.size() >= kMaxCaptureTimes)
        m_captureTimes.pop_front();
    m_captureTimes.emplace_back(pts, captureTimeMs);
    return pts;
}

std::optional<qint64> VideoLink::captureTimeOf(qint64 pts)
{
    // Pictures come out in the order they went in (no reordering); those
    // the encoder dropped are passed over.
    std::lock_guard lock(m_timesMutex);
    while (!m_captureTimes.empty() && m_captureTimes.front().first < pts)
        m_captureTimes.pop_front();
    if (m_captureTimes.empty() || m_captureTimes.front().first != pts)
        return std::nullopt;
    const qint64 captured = m_captureTimes.front().second;
    m_captureTimes.pop_front();
    return captured;
}

void VideoLink::socketDidConnectToHost(GCDAsyncSocket *sock, const QString &, quint16)
{
    if (m_hooks.configureConnected)
        m_hooks.configureConnected(*sock);
    if (m_hooks.connected)
        m_hooks.connected();
}

void VideoLink::socketDidDisconnect(GCDAsyncSocket *sock, const OptionalTavlinError &error)
{
    if (m_ended)
        return;
    m_ended = true;
    m_encoder = nullptr;
    // A connect that timed out reports that alone: the cast ends once.
    std::optional<qint32> status;
    const qint64 userData = sock->userData();
    if (error && error->domain == SocketErrors::kGCDAsyncSocketErrorDomain
        && error->code == SocketErrors::GCDAsyncSocketConnectTimeoutError)
        status = -6;
    else if (userData == kSocketLive)
        status = -7;
    else if (userData != kSocketClosedHere)
        status = -1;
    if (m_hooks.ended)
        m_hooks.ended(status);
}

void VideoLink::videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *session,
                                                             const VTPSampleBufferRef &sampleBuffer)
{
    // Results of an encoder that has since been replaced or stopped are stale.
    if (session != m_encoder || !sampleBuffer || !m_socket->isConnected() || !m_hooks.writePacket)
        return;
    if (m_hooks.pictureReady)
        m_hooks.pictureReady(*sampleBuffer);
    if (m_firstPicture) {
        H264Packet parameterSets;
        parameterSets.packetizeSPS_PPS(*sampleBuffer);
        m_hooks.writePacket(*m_socket, H264PacketTypeParameterSets, parameterSets.data());
        m_firstPicture = false;
    }
    H264Packet picture(*sampleBuffer);
    m_hooks.writePacket(*m_socket, H264PacketTypeCodedFrame, picture.data());
    if (m_hooks.frameWritten) {
        if (const std::optional<qint64> captured = captureTimeOf(sampleBuffer->presentationTimeStamp))
            m_hooks.frameWritten(*captured, qint64(GetTickCount64()));
    }
}

void VideoLink::videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession *session,
                                                           const VTPSampleBufferRef &)
{
    // A full queue drops a picture now and then; an encoder that cannot be
    // opened drops every one. The session is only looked into while it is
    // the current one: the owner clears it here before it goes.
    if (session == m_encoder && !session->canEncode() && m_hooks.encoderFailed)
        m_hooks.encoderFailed(m_generation);
}
