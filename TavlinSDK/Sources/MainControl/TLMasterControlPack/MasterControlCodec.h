#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

#include "TavlinExport.h"

// The master-control protocol without sockets or timers: one JSON object per
// line in each direction. The lines the library writes, the receiver's lines
// cut out of the byte stream, classified and read with checked types, and
// the direct-cast keep-alive's text.
namespace MasterControlCodec {

// --- Lines the library writes (each ends with one "\n") ---

struct ClientInformation {
    QString clientName;
    QString versionName;
    qint64 versionCode = 0;
    qint64 isTouchable = 0;
};

// {"heartbeat": index}
QString heartbeat(qint64 index);
// {"reportClientInfo": "N", "clientName", "clientType": 5, "isTouchable",
//  "versionName", "versionCode"}
QString clientInformation(const ClientInformation &info);
// {"requestCast": 7}: may the cast start?
QString castRequest();
// {"requestCast": 8}: show the cast full screen.
QString fullScreenRequest();
// {"exitFullscreen": "N"}
QString exitFullScreen();
// {"disconnect": "N"}
QString disconnect();
// {"replyInfo": "N"}
QString replyInfo();

inline constexpr qint64 kCastRequestValue = 7;
inline constexpr qint64 kFullScreenRequestValue = 8;
inline constexpr qint64 kClientType = 5;

// --- Lines the receiver writes ---

struct ReceiverMessage {
    // In the order a line is tested for them: a line holding several of the
    // keys is the first kind of this list.
    enum class Kind {
        ReplyHeartbeat,
        ReplyClientInfo,
        DisconnectClient,
        ReplyCastRequest,
        InviteCast,
        CancelCastInvite,
        ReportInfo,
        ReplyExitFullscreen,
    };
    Kind kind = Kind::ReplyHeartbeat;

    // Heartbeat reply.
    qint64 castMode = 0;
    qint64 multiScreen = 0;
    qint64 mirrorMode = 0;
    qint64 castState = 0;
    // Client-information reply and information report. A name that is
    // missing or not text is absent.
    std::optional<QString> deviceName;
    qint64 rotation = 0;
    std::optional<qint64> supportMirror;
    QString platform;
    QString flavor;
    // Cast reply: 1 accepted, 0 refused, 2 timed out on the receiver.
    qint64 replyCastRequest = 0;
};

// One line: a JSON object classified by the keys it holds. None for a line
// that is no JSON object (logged) or holds none of the protocol's keys, so
// that text a receiver chose (a name) can never pass for another message and
// a damaged line changes nothing.
std::optional<ReceiverMessage> classify(const QByteArray &line);

// A member read as an integer: a JSON number (its whole part, kept within
// 64 bits), a boolean (1 or 0), or text that starts with a decimal integer
// (as a "12" or " -3abc"). Anything else, or a missing member, reads as 0.
qint64 integerMember(const QJsonObject &object, const QString &key);
// A member read as text; none when it is missing or not text.
std::optional<QString> textMember(const QJsonObject &object, const QString &key);

// Cuts the byte stream of one connection into lines. A line is complete at
// its "\n" (a "\r" before it and surrounding blanks are dropped, empty lines
// skipped), so a line or a character cut in two by the transport is joined
// again. A last chunk without its "\n" is taken at once when it already is a
// whole JSON object, and so is a whole object that the next one follows on
// the same line; otherwise a line waits for the rest, up to a bound beyond
// which it is dropped. Every byte is looked at once, however the transport
// cuts the stream.
class LineFramer {
public:
    static constexpr qsizetype kMaxPendingBytes = 64 * 1024;

    QList<QByteArray> feed(const QByteArray &chunk);
    void reset();
    qsizetype pendingBytes() const { return m_pending.size(); }
    // Bytes the framer has looked at since it was made.
    qint64 scannedBytes() const { return m_scannedBytes; }

private:
    QByteArray m_pending;
    // How far m_pending has been looked at (it holds no line end before
    // that), and where the unended line stands as a JSON object.
    qsizetype m_scanned = 0;
    bool m_started = false;   // a byte other than a blank was seen
    bool m_object = false;    // ... and it was "{"
    bool m_settled = false;   // the object closed, or cannot be one: wait for the line end
    int m_depth = 0;
    bool m_inString = false;
    bool m_escaped = false;
    qint64 m_scannedBytes = 0;
};

// --- Direct-cast keep-alive ---

// "OPTIONS rtsp://<ip> RTSP/1.0" with CSeq, Name, Status (1 casting, 0 not)
// and "System: 1", ended by an empty line.
QString directCastKeepAlive(const QString &ip, qint64 sequence, const QString &clientName,
                                          bool casting);

inline constexpr qint64 kDirectCastStartCommand = 768;
inline constexpr qint64 kDirectCastStopCommand = 769;

// The "command" value of a keep-alive answer: the text from the first "{"
// followed by a double quote is read as a JSON object. None when the text
// names no "command", holds no such brace, or does not parse.
std::optional<qint64> directCastCommand(const QByteArray &answer);

} // namespace MasterControlCodec
