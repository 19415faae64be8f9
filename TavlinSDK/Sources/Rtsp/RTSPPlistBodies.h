#pragma once

#include <QByteArray>
#include <optional>

// The binary property-list bodies of the control session. Every body is a
// dictionary whose "streams" array holds one stream description.
namespace RTSPPlistBodies {

constexpr quint64 kVideoStreamType = 110;
constexpr quint64 kAudioStreamType = 96;
constexpr quint64 kAudioFormat = 16777216; // 0x01000000

// Video "SETUP": the client's name travels as data (UTF-8 bytes), not text.
QByteArray videoSetupBody(const QByteArray &machineName);
QByteArray audioSetupBody();
QByteArray teardownBody();

// The "dataPort" of the first stream of an audio "SETUP" reply, a property
// list in either form (binary or XML). The port may come as an integer, a
// real without a fraction or a numeric text; only a whole number from 1 to
// 65535 gives one. Anything else means the cast goes on without sound.
std::optional<quint16> audioDataPort(const QByteArray &replyBody);

} // namespace RTSPPlistBodies
