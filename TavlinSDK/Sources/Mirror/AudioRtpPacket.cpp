#include "Mirror/AudioRtpPacket.h"

#include <QtEndian>

namespace AudioRtpPacket {

std::optional<QByteArray> pack(quint16 sequenceNumber, quint32 timestamp, const QByteArray &frame)
{
    if (frame.isEmpty() || frame.size() > kMaxPayloadSize)
        return std::nullopt;
    QByteArray datagram(kHeaderSize + frame.size(), Qt::Uninitialized);
    auto *bytes = reinterpret_cast<uchar *>(datagram.data());
    bytes[0] = 0x80;
    bytes[1] = 0x60;
    qToBigEndian<quint16>(sequenceNumber, bytes + 2);
    qToBigEndian<quint32>(timestamp, bytes + 4);
    bytes[8] = 0x01;
    bytes[9] = 0x00;
    bytes[10] = 0x00;
    bytes[11] = 0x00;
    std::copy(frame.cbegin(), frame.cend(), datagram.begin() + kHeaderSize);
    return datagram;
}

} // namespace AudioRtpPacket
