#pragma once

#include <QByteArray>
#include <QList>
#include <utility>

// Wire bytes of remote-input records, written independently of the decoder.
inline QByteArray recordBytes(quint32 type, qint32 value, quint32 sec = 0, quint32 nsec = 0)
{
    QByteArray out;
    for (quint32 field : {type, static_cast<quint32>(value), sec, nsec}) {
        out.append(char(field >> 24));
        out.append(char(field >> 16));
        out.append(char(field >> 8));
        out.append(char(field));
    }
    return out;
}

using RecordList = QList<std::pair<quint32, qint32>>;

inline QByteArray recordStream(const RecordList &records)
{
    QByteArray out;
    for (const auto &[type, value] : records)
        out.append(recordBytes(type, value));
    return out;
}
