#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "TavlinExport.h"

// The text protocol of the handshake port, without sockets or timers: the
// requests the library writes, and the receiver's replies cut into messages
// and classified.
namespace HandshakeCodec {

QByteArray passwordConfigRequest();      // "GETPASSWORDCONFIG"
QByteArray serverInfoRequest();          // "getServerInfo"
QByteArray listenedPortRequest();        // "getListenedPort"

// The keys of the port reply, in the order of the port table's entries
// 51040, 51030, 51060, 52020, 52030, 57395.
inline constexpr std::array<const char *, 6> kPortKeys = {"51040", "51030", "51060", "52020", "52030", "57395"};

struct HandshakeReply {
    enum class Kind {
        CodeAccepted,   // "success"
        CodeRefused,    // "failed" or "falied"
        CodeConfigured, // "configed password"
        ServerInfo,     // the name reply
        Ports,          // the port reply ("hasChanged")
    };
    Kind kind = Kind::CodeAccepted;

    // Server information. A member that is missing or not text reads as
    // absent: a null name, feature bits 0, an empty "extraInfo".
    QString name;
    qint64 features = 0;
    QString extraInfo;

    // Port reply. `portsParsed` is false when no JSON object could be read;
    // a port of 0 means "the entry's default" (missing, not a whole number,
    // outside 1..65535).
    bool portsParsed = false;
    bool hasChanged = false;
    std::array<qint64, 6> ports{};
};

// Classifies one message. A JSON object is classified by its members ("name"
// before "hasChanged"), so text that a receiver chose (its name, its extra
// information) cannot pass for a verdict; anything else by the first of the
// protocol's substring tests that it contains. `wholeText` is the read the
// message came in, the fallback for a port reply that does not parse alone.
std::optional<HandshakeReply> classify(const QString &message, const QString &wholeText = {});

// Cuts the byte stream of one connection into messages: lines ended by "\n"
// (a "\r" before it is dropped, empty lines skipped), and JSON objects, which
// may arrive in pieces, span several lines when they start with a line that
// is only "{", or come without a line end. Text without a line end waits for
// the rest of the stream only while it can still become one of the
// receiver's replies: an object not yet closed, or the beginning of one of
// the words "success", "failed", "falied", "configed password". Such a
// beginning becomes a line of its own as soon as a byte comes that cannot
// continue it (or it is whole); any other text without a line end is a line
// at once. So a reply cut by the transport is read whole, and a reply sent
// without its line end never glues onto the next one. There is no timer
// here: the session's own time-outs cover a receiver that falls silent.
// What waits is bounded, and every byte is looked at a bounded number of
// times however the transport cuts the stream.
class HandshakeReplyFramer {
public:
    static constexpr qsizetype kMaxPendingBytes = 64 * 1024;

    QList<HandshakeReply> feed(const QByteArray &chunk);
    void reset();
    qsizetype pendingBytes() const { return m_pending.size(); }
    // Bytes the framer has looked at since it was made; with the input's
    // length it shows that the work grows with the input, not faster.
    qint64 scannedBytes() const { return m_scannedBytes; }

private:
    // Where an object that started at the front of m_pending has got to.
    struct ObjectScan {
        bool active = false;
        qsizetype next = 0;       // first byte not yet looked at
        int depth = 0;
        bool inString = false;
        bool escaped = false;
        // Decided by the rest of the line that opens the object: only blanks
        // make an object over several lines; anything else keeps it to its line.
        enum class Extent { Undecided, OneLine, SeveralLines } extent = Extent::Undecided;
    };
    enum class ScanResult { Complete, LineEnded, Incomplete };
    ScanResult continueObject(qsizetype &end);

    QByteArray m_pending;
    ObjectScan m_scan;
    // The length of the beginning of a reply word that waits at the front of
    // m_pending for its rest; 0 when none waits.
    qsizetype m_heldWord = 0;
    qint64 m_scannedBytes = 0;
};

} // namespace HandshakeCodec
