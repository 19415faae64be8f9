#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// One event record of the remote-input stream: four big-endian 32-bit fields.
struct RemoteInputRecord {
    quint32 type = 0;
    qint32 value = 0;
    quint32 tvSec = 0;   // the sender's time; not used
    quint32 tvNsec = 0;

    bool operator==(const RemoteInputRecord &) const = default;
};

// Record types of the stream.
namespace RemoteInputType {
constexpr quint32 KeyUp = 1;
constexpr quint32 KeyDown = 2;
constexpr quint32 MouseUp = 4;
constexpr quint32 MouseDown = 5;
constexpr quint32 RelativeMoveX = 6;
constexpr quint32 RelativeMoveY = 7;
constexpr quint32 AbsoluteMoveX = 8;
constexpr quint32 AbsoluteMoveY = 9;
constexpr quint32 Scroll = 10;
constexpr quint32 Character = 13;
constexpr quint32 ScrollHorizontal = 14;
} // namespace RemoteInputType

// What one record asks for, once paired with the record before it.
struct RemoteInputAction {
    enum class Kind {
        None,
        KeyUp,                 // first = virtual key code (the record's value)
        KeyDown,               // first = virtual key code
        ToggleKeyboardViewer,
        MouseUp,               // first = (click count << 8) | button
        MouseDown,             // first = (click count << 8) | button
        RelativeMove,          // first = dx, second = dy
        AbsoluteMove,          // first = x, second = y, in 1/11000 of the main display
        Scroll,                // first = horizontal, second = vertical
        Character,             // first = UTF-16 code unit (unchecked)
    };
    Kind kind = Kind::None;
    qint32 first = 0;
    qint32 second = 0;

    bool operator==(const RemoteInputAction &) const = default;
};

// The pure half of remote input: frames the byte stream into records and
// pairs each record with the previous one. No sockets, clocks or events.
class RemoteInputDecoder {
public:
    static constexpr qsizetype kRecordSize = 16;
    // Key-up value that toggles the on-screen keyboard instead of a key.
    static constexpr qint32 kKeyboardViewerKey = 0xFFC4;

    static RemoteInputRecord decodeRecord(const char *bytes);

    // Bytes as they arrive; a record may be split across any number of calls.
    void append(QByteArrayView bytes);
    // The next whole record, or nothing until more bytes arrive.
    std::optional<RemoteInputRecord> takeRecord();
    qsizetype pendingBytes() const { return m_buffer.size() - m_consumed; }

    // The action of `record` given the record before it; the record then
    // becomes the previous one, also when `paused` makes it do nothing.
    RemoteInputAction handle(const RemoteInputRecord &record, bool paused);
    const RemoteInputRecord &previousRecord() const { return m_previous; }

private:
    void compact();

    QByteArray m_buffer;
    qsizetype m_consumed = 0;
    RemoteInputRecord m_previous;
};
