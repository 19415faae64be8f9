#include "RemoteControl/RemoteInputDecoder.h"

#include <QtEndian>

RemoteInputRecord RemoteInputDecoder::decodeRecord(const char *bytes)
{
    RemoteInputRecord record;
    record.type = qFromBigEndian<quint32>(bytes);
    record.value = qFromBigEndian<qint32>(bytes + 4);
    record.tvSec = qFromBigEndian<quint32>(bytes + 8);
    record.tvNsec = qFromBigEndian<quint32>(bytes + 12);
    return record;
}

void RemoteInputDecoder::append(QByteArrayView bytes)
{
    compact();
    m_buffer.append(bytes);
}

std::optional<RemoteInputRecord> RemoteInputDecoder::takeRecord()
{
    if (pendingBytes() < kRecordSize) {
        compact();
        return std::nullopt;
    }
    const RemoteInputRecord record = decodeRecord(m_buffer.constData() + m_consumed);
    m_consumed += kRecordSize;
    return record;
}

void RemoteInputDecoder::compact()
{
    // Consumed records leave in one move, not one move per record.
    if (m_consumed > 0) {
        m_buffer.remove(0, m_consumed);
        m_consumed = 0;
    }
}

RemoteInputAction RemoteInputDecoder::handle(const RemoteInputRecord &record, bool paused)
{
    using Kind = RemoteInputAction::Kind;
    const RemoteInputRecord previous = m_previous;
    m_previous = record;
    if (paused)
        return {};

    const qint32 value = record.value;
    switch (record.type) {
    case RemoteInputType::KeyUp:
        if (value == kKeyboardViewerKey)
            return {Kind::ToggleKeyboardViewer};
        return {Kind::KeyUp, value};
    case RemoteInputType::KeyDown:
        return {Kind::KeyDown, value};
    case RemoteInputType::MouseUp:
        return {Kind::MouseUp, value};
    case RemoteInputType::MouseDown:
        return {Kind::MouseDown, value};
    case RemoteInputType::RelativeMoveY:
        if (previous.type == RemoteInputType::RelativeMoveX)
            return {Kind::RelativeMove, previous.value, value};
        return {};
    case RemoteInputType::AbsoluteMoveX:
        // A receiver's key release comes as this record right after the press.
        if (previous.type == RemoteInputType::KeyDown)
            return {Kind::KeyUp, value};
        return {};
    case RemoteInputType::AbsoluteMoveY:
        if (previous.type == RemoteInputType::AbsoluteMoveX)
            return {Kind::AbsoluteMove, previous.value, value};
        return {};
    case RemoteInputType::Scroll:
        if (previous.type == RemoteInputType::ScrollHorizontal)
            return {Kind::Scroll, previous.value, value};
        return {Kind::Scroll, 0, value};
    case RemoteInputType::Character:
        return {Kind::Character, value};
    default:
        // 3, 6, 11, 12, 14 act only as the first half of a pair; others are unknown.
        return {};
    }
}
