#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

#include "Mirror/EncoderSizeRequest.h"

// The cast control session's wire format, without sockets or timers: the text
// head of a request, the framing of the receiver's replies, and the reading of
// the encoder-size request that an "OPTIONS" reply may carry.
namespace RTSPCodec {

// Reply bodies above this size are not used.
constexpr qsizetype kReplyBodyLimit = 4096;
// Bytes without a head end beyond this size are given up as one reply.
constexpr qsizetype kReplyHeadLimit = 8192;

// The head of one request. `aspectRatio` gives the "AspectRatio" line; the
// "Content-Length" line appears only for a non-empty body.
QByteArray requestHead(const QString &method, const QString &host, quint16 cseq,
                                     std::optional<qint64> aspectRatio, qsizetype bodyLength,
                                     const QList<QPair<QString, QString>> &headers = {});

// The decimal number after "Content-Length: " in a reply head (leading digits
// only, saturating), or 0 when there is none.
qint64 contentLength(const QByteArray &head);

// One reply of the receiver. `raw` holds the bytes that made it up (head and,
// when used, the body); `body` is present only for a whole body of 1 to
// kReplyBodyLimit bytes.
struct Reply {
    QByteArray raw;
    std::optional<QByteArray> body;
};

// Cuts the byte stream of the control connection into replies: a head ends at
// the first "\r\n\r\n" and is followed by "Content-Length" body bytes. A body
// above the limit is skipped as it arrives and its reply has no body, so the
// memory held stays bounded whatever the receiver sends.
class ReplyFramer {
public:
    void append(const QByteArray &bytes);
    // The next whole reply, if the bytes so far complete one.
    std::optional<Reply> next();
    // True while bytes of an unfinished reply are held.
    bool hasPartial() const;
    // Gives up waiting for the rest of the unfinished reply: it becomes a
    // reply without a body.
    std::optional<Reply> takePartial();
    // Bytes of an oversized body still to be discarded.
    qint64 pendingSkip() const { return m_skip; }
    void clear();

private:
    void skipBuffered();

    QByteArray m_buffer;
    qint64 m_skip = 0;
};

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(const QByteArray &bytes);

// Reads an "OPTIONS" reply body as a JSON object with "casting_win_width",
// "casting_win_height", "Framerate" and "feature". A request counts only when
// all four are non-zero and bit 0 of "feature" is set; a negative frame rate
// becomes the fallback, frame rates are held to the request's range, and
// sides outside it are refused.
std::optional<EncoderSizeRequest> parseEncoderChange(const QByteArray &body);

} // namespace RTSPCodec
