#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>

class QNetworkReply;

// Takes an answer's body from its reply as the bytes arrive, within a limit:
// a declared length above the limit is refused when the headers come, before
// a byte of the body is read; otherwise the bytes are counted as they are
// taken and the reply is aborted the moment the count passes the limit. The
// network reads ahead of the reader only a little, so whatever a server
// sends (an endless body too) the memory held for the answer stays below the
// limit plus that read-ahead.
//
// Lives as a child of its reply. The abort happens inside the reply's own
// signal, so its `finished` may arrive from within the reading; tooLarge()
// holds by then.
class QVAnswerReader : public QObject
{
    Q_OBJECT
public:
    // Bytes the network reads ahead of the reader.
    static constexpr qint64 kReadAheadBytes = 256 * 1024;

    // Starts reading `reply`'s answer, which may hold at most `maxBytes`.
    static QVAnswerReader *attach(QNetworkReply *reply, qint64 maxBytes);

    bool tooLarge() const { return m_tooLarge; }
    // Bytes taken so far.
    qint64 received() const { return m_received; }
    // The whole body once the reply has finished: what was taken, and what
    // the reply still holds (within the limit too).
    QByteArray takeBody();

private:
    QVAnswerReader(QNetworkReply *reply, qint64 maxBytes);
    void onMetaData();
    void onReadyRead();
    void refuse();

    QNetworkReply *m_reply;
    qint64 m_maxBytes;
    QByteArrayList m_pieces;
    qint64 m_received = 0;
    bool m_tooLarge = false;
};
