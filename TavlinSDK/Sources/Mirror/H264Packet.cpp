#include "Mirror/H264Packet.h"

#include <QDebug>
#include <QtEndian>

#include "Mirror/TickCount.h"

namespace {
const char kStartCode[4] = {0, 0, 0, 1};
}

H264Packet::H264Packet(const VTPSampleBuffer &sampleBuffer)
{
    packetizeAVC(sampleBuffer);
}

void H264Packet::packetizeAVC(const VTPSampleBuffer &sampleBuffer)
{
    const QByteArray &block = sampleBuffer.dataBuffer;
    const qint64 total = block.size();
    const auto *bytes = reinterpret_cast<const uchar *>(block.constData());
    m_data.reserve(m_data.size() + block.size());
    qint64 offset = 0;
    while (offset < total - 4) {
        const qint64 length = qFromBigEndian<quint32>(bytes + offset);
        // A length that runs past the block ends the walk: the rest of this
        // block cannot be trusted.
        if (length > total - offset - 4)
            break;
        m_data.append(kStartCode, 4);
        m_data.append(block.constData() + offset + 4, qsizetype(length));
        offset += length + 4;
    }
    if (offset != total)
        qInfo().noquote() << QString::asprintf("bufferoffset ==== %d  totalLen %d", int(offset), int(total));
}

void H264Packet::packetizeSPS_PPS(const VTPSampleBuffer &sampleBuffer)
{
    const QList<QByteArray> &sets = sampleBuffer.parameterSets;
    if (sets.size() < 2 || sets.at(0).isEmpty() || sets.at(1).isEmpty())
        return;
    m_data.append(kStartCode, 4);
    m_data.append(sets.at(0));
    m_data.append(kStartCode, 4);
    m_data.append(sets.at(1));
}

quint64 H264Packet::timestampForTickCount(quint64 tickCountMs)
{
    const quint64 seconds = tickCountMs / 1000;
    const quint64 fraction = ((tickCountMs % 1000) * 1000 * (quint64(1) << 32)) / 1000000;
    return (seconds << 32) | (fraction & 0xffffffffu);
}

QByteArray H264Packet::headerForPayload(quint32 length, quint16 type, quint64 timestamp)
{
    QByteArray header(kHeaderLength, '\0');
    auto *p = reinterpret_cast<uchar *>(header.data());
    qToLittleEndian<quint32>(length, p);
    qToLittleEndian<quint16>(type, p + 4);
    qToLittleEndian<quint64>(timestamp, p + 8);
    return header;
}

QByteArray H264Packet::packetWithPayload(const QByteArray &payload, quint16 type)
{
    QByteArray packet = headerForPayload(quint32(payload.size()), type, timestampForTickCount(GetTickCount64()));
    packet.append(payload);
    return packet;
}
