#pragma once

#include <QByteArray>

#include "VideoToolBox/VTPSampleBuffer.h"

// Packet types of the video stream.
enum H264PacketType : quint16 {
    H264PacketTypeParameterSets = 256, // SPS and PPS
    H264PacketTypeCodedFrame = 257,    // one coded picture
};

// One payload of the video stream (TCP 51030): the encoder's length-prefixed
// NAL units as an Annex B byte stream, or the parameter sets. Every packet on
// the wire is a 128-byte header followed by such a payload.
class H264Packet {
public:
    static constexpr int kHeaderLength = 128;

    H264Packet() = default;
    // The Annex B form of the coded picture's NAL units.
    explicit H264Packet(const VTPSampleBuffer &sampleBuffer);

    // Converts the sample's length-prefixed units into `data`.
    void packetizeAVC(const VTPSampleBuffer &sampleBuffer);
    // `data` becomes 00 00 00 01 SPS 00 00 00 01 PPS from the sample's format
    // description, or nothing when either set is missing.
    void packetizeSPS_PPS(const VTPSampleBuffer &sampleBuffer);

    const QByteArray &data() const { return m_data; }
    void setData(const QByteArray &data) { m_data = data; }

    // The header's 32.32 fixed-point time stamp for a tick count in
    // milliseconds: whole seconds above, the fraction of a second below,
    // both from the one reading.
    static quint64 timestampForTickCount(quint64 tickCountMs);
    // The 128-byte header (little-endian fields, zeros elsewhere).
    static QByteArray headerForPayload(quint32 length, quint16 type, quint64 timestamp);
    // Header (stamped now) followed by the payload: one packet as it goes out.
    static QByteArray packetWithPayload(const QByteArray &payload, quint16 type);

private:
    QByteArray m_data;
};
