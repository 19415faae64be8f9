#pragma once

// Property lists built to hurt a reader that expands them: shared
// references, deep nesting, loops. Header only, for every suite that feeds
// them to a reader.

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace HostilePlists {

// A binary property list ("bplist00") of the given objects, each already
// encoded (marker and content, references of `refWidth` bytes); object
// `root` is the top. Offsets take as many bytes as the largest needs.
inline QByteArray binary(const QList<QByteArray> &objects, int refWidth = 1, quint64 root = 0)
{
    QByteArray out("bplist00");
    QList<quint64> offsets;
    for (const QByteArray &object : objects) {
        offsets.append(quint64(out.size()));
        out += object;
    }
    const quint64 table = quint64(out.size());
    int offsetWidth = 1;
    while (offsetWidth < 8 && (table >> (8 * offsetWidth)) != 0)
        ++offsetWidth;
    const auto bigEndian = [](quint64 value, int width) {
        QByteArray bytes;
        for (int i = width - 1; i >= 0; --i)
            bytes.append(char((value >> (8 * i)) & 0xFF));
        return bytes;
    };
    for (const quint64 offset : offsets)
        out += bigEndian(offset, offsetWidth);
    out += QByteArray(6, '\0');
    out += char(offsetWidth);
    out += char(refWidth);
    out += bigEndian(quint64(objects.size()), 8);
    out += bigEndian(root, 8);
    out += bigEndian(table, 8);
    return out;
}

// A reference of `width` bytes to object `index`.
inline QByteArray ref(quint64 index, int width = 1)
{
    QByteArray bytes;
    for (int i = width - 1; i >= 0; --i)
        bytes.append(char((index >> (8 * i)) & 0xFF));
    return bytes;
}

// The marker of an array, set or dictionary (`type` 0xA, 0xC, 0xD) of
// `count` entries, with the count after it when it takes more than 4 bits.
inline QByteArray containerMarker(int type, quint64 count)
{
    if (count < 15)
        return QByteArray(1, char((type << 4) | int(count)));
    QByteArray marker(1, char((type << 4) | 0x0F));
    marker += char(0x13);
    marker += ref(count, 8);
    return marker;
}

// Each of `levels` arrays holds the next one twice; the last holds the
// integer 0. 21 levels are 127 bytes that expand to more than 4 million
// values.
inline QByteArray sharedDoubling(int levels)
{
    QList<QByteArray> objects;
    for (int i = 0; i < levels; ++i)
        objects.append(QByteArray("\xA2") + ref(quint64(i + 1)) + ref(quint64(i + 1)));
    objects.append(QByteArray("\x10\x00", 2));
    return binary(objects);
}

// `depth` arrays, each holding the next; the innermost is empty.
inline QByteArray nestedBinaryArrays(int depth)
{
    const int width = depth < 256 ? 1 : depth < 65536 ? 2 : 4;
    QList<QByteArray> objects;
    for (int i = 0; i < depth - 1; ++i)
        objects.append(QByteArray(1, char(0xA1)) + ref(quint64(i + 1), width));
    objects.append(QByteArray(1, char(0xA0)));
    return binary(objects, width);
}

// The same in XML.
inline QByteArray nestedXmlArrays(int depth)
{
    QByteArray out("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">");
    out.reserve(out.size() + depth * 15 + 16);
    for (int i = 0; i < depth; ++i)
        out += "<array>";
    for (int i = 0; i < depth; ++i)
        out += "</array>";
    return out + "</plist>\n";
}

} // namespace HostilePlists
