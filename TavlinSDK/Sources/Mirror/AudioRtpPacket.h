#pragma once

#include <QByteArray>
#include <optional>

// The RTP packet that carries one encoded audio frame to the receiver:
//   0     0x80  version 2, no padding, no extension, no contributing sources
//   1     0x60  marker 0, payload type 96
//   2..3  sequence number, big-endian
//   4..7  time stamp, big-endian: the sender's millisecond tick count
//   8..11 synchronisation source, the bytes 01 00 00 00
//   12..  one raw access unit
namespace AudioRtpPacket {

inline constexpr int kHeaderSize = 12;
inline constexpr int kDatagramSize = 2048;
inline constexpr int kMaxPayloadSize = kDatagramSize - kHeaderSize; // 2036

// The datagram for one frame; none when the frame is empty or would not fit
// the datagram.
std::optional<QByteArray> pack(quint16 sequenceNumber, quint32 timestamp, const QByteArray &frame);

} // namespace AudioRtpPacket
