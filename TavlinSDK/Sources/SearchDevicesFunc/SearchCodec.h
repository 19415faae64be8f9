#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

#include "Device/Device.h"

// The receiver-search datagrams, without sockets or timers: the probe this
// client broadcasts and the text reply each receiver sends back.
namespace SearchCodec {

// Size of the probe in bytes.
constexpr int kProbeSize = 50;

// Stores `value` big-endian at `position` of `buffer` (which must hold four
// bytes there) and returns the position after it.
int intTobyteArray(quint32 value, QByteArray &buffer, int position);

// The 50-byte probe: five 32-bit fields (the fourth the length of the text),
// the text "FindMorvelant:" and sixteen zero bytes.
QByteArray buildSearchDevicesMessage();

// True for a probe of this or any other client (50 bytes, 12 leading zero
// bytes): the search port carries them besides the replies.
bool isSearchProbe(const QByteArray &datagram);

// A reply field read as hexadecimal: digits from the first character up to
// the first non-hex character, accumulated in 32 bits (so only the last
// eight digits count) and sign-extended. No "0x" and no white space are
// skipped; a field with any non-ASCII character reads as 0.
qint64 replyHexValue(QStringView field);

// A reply field read as a decimal integer: leading white space, an optional
// sign, then digits up to the first other character; 0 when there are none.
// Saturates instead of overflowing.
qint64 replyDecimalValue(QStringView field);

// The outcome of reading one datagram of the search port.
enum class ReplyStatus {
    Accepted,
    NotIPv4Source,   // the sender is not an IPv4 literal
    NotUtf8,         // the text is not valid UTF-8
    TooFewFields,    // two ":"-separated fields or fewer
};

struct ParsedReply {
    ReplyStatus status = ReplyStatus::TooFewFields;
    Device device;   // filled when status is Accepted
};

// Turns a reply from `sourceIp` (dotted IPv4 text) into a Device: field 1 the
// name, field 2 the port, field 5 the feature bits, field 6 the frame rate.
ParsedReply parseSearchReply(const QByteArray &datagram, const QString &sourceIp);

// A short English label of a status for log lines.
const char *replyStatusText(ReplyStatus status);

} // namespace SearchCodec
