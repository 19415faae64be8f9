#include "QVAnswerReader.h"

#include <QNetworkReply>
#include <QNetworkRequest>

QVAnswerReader *QVAnswerReader::attach(QNetworkReply *reply, qint64 maxBytes)
{
    return new QVAnswerReader(reply, maxBytes);
}

QVAnswerReader::QVAnswerReader(QNetworkReply *reply, qint64 maxBytes)
    : QObject(reply), m_reply(reply), m_maxBytes(qMax<qint64>(0, maxBytes))
{
    // Without a bound here the network thread would read on into the
    // reply's buffer whatever the reader does.
    reply->setReadBufferSize(kReadAheadBytes);
    // A request with a body starts only once Qt's own queued call has taken
    // the body, and the bound set above reaches no network thread then:
    // without it, an answer that never ends fills memory unread. Set once
    // more after that call, the bound reaches the started request.
    QMetaObject::invokeMethod(
        reply, [reply] { reply->setReadBufferSize(kReadAheadBytes); }, Qt::QueuedConnection);
    connect(reply, &QNetworkReply::metaDataChanged, this, &QVAnswerReader::onMetaData);
    connect(reply, &QNetworkReply::readyRead, this, &QVAnswerReader::onReadyRead);
}

void QVAnswerReader::onMetaData()
{
    if (m_tooLarge)
        return;
    bool ok = false;
    const qint64 declared = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
    if (ok && declared > m_maxBytes)
        refuse();
}

void QVAnswerReader::onReadyRead()
{
    if (m_tooLarge)
        return;
    // Headers that did not arrive on their own come with the first bytes.
    if (m_received == 0)
        onMetaData();
    while (!m_tooLarge && m_reply->bytesAvailable() > 0) {
        // One byte past the limit is enough to know the answer is too large.
        const qint64 wanted = qMin<qint64>(m_reply->bytesAvailable(), m_maxBytes - m_received + 1);
        // Kept as pieces of their own size: a body grown in place would hold
        // its old and its new copy at once each time it moved, and the
        // network's own blocks may be far larger than what they hold.
        QByteArray piece(qsizetype(wanted), Qt::Uninitialized);
        const qint64 read = m_reply->read(piece.data(), wanted);
        if (read <= 0)
            break;
        piece.truncate(qsizetype(read));
        m_received += piece.size();
        m_pieces.append(std::move(piece));
        if (m_received > m_maxBytes)
            refuse();
    }
}

void QVAnswerReader::refuse()
{
    m_tooLarge = true;
    m_pieces.clear();
    m_reply->abort();
}

QByteArray QVAnswerReader::takeBody()
{
    onReadyRead();
    if (m_tooLarge)
        return QByteArray();
    const QByteArrayList pieces = std::exchange(m_pieces, QByteArrayList());
    m_received = 0;
    if (pieces.size() == 1)
        return pieces.first();
    return pieces.join();
}
