#include "RemoteInputSender.h"

#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

#include "ReceiverComponentRegistry.h"

RemoteInputSender::RemoteInputSender(ReceiverEmulator &emulator, quint16 port)
    : ReceiverComponent(emulator), m_port(port)
{
}

RemoteInputSender::~RemoteInputSender()
{
    stop();
}

bool RemoteInputSender::start(QString *error)
{
    stop();
    m_server = new QTcpServer(this);
    if (!m_server->listen(emulator().address(), m_port)) {
        if (error)
            *error = QStringLiteral("cannot listen on %1:%2: %3")
                         .arg(emulator().address().toString())
                         .arg(m_port)
                         .arg(m_server->errorString());
        stop();
        return false;
    }
    m_boundPort.store(m_server->serverPort());
    connect(m_server, &QTcpServer::newConnection, this, &RemoteInputSender::accept);
    return true;
}

void RemoteInputSender::stop()
{
    if (m_client) {
        m_client->setProperty("closedHere", true);
        m_client->abort();
    }
    delete m_client;
    delete m_server;
    m_server = nullptr;
}

QByteArray RemoteInputSender::record(quint32 type, qint32 value, quint32 seconds, quint32 nanoseconds)
{
    QByteArray bytes(16, Qt::Uninitialized);
    qToBigEndian<quint32>(type, bytes.data());
    qToBigEndian<qint32>(value, bytes.data() + 4);
    qToBigEndian<quint32>(seconds, bytes.data() + 8);
    qToBigEndian<quint32>(nanoseconds, bytes.data() + 12);
    return bytes;
}

void RemoteInputSender::setScript(const QList<Chunk> &script)
{
    QMutexLocker lock(&m_mutex);
    m_script = script;
}

void RemoteInputSender::accept()
{
    while (QTcpSocket *client = m_server->nextPendingConnection()) {
        ++m_connections;
        // One client at a time, as a receiver serves one sender.
        if (m_client) {
            m_client->setProperty("closedHere", true);
            m_client->abort();
            m_client->deleteLater();
        }
        m_client = client;
        client->setParent(this);
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_scriptDone.store(false);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { m_bytesReceived += client->readAll().size(); });
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            if (client->property("closedHere").toBool())
                return;
            ++m_clientCloses;
        });
        sendStep(client, 0);
    }
}

void RemoteInputSender::sendStep(QTcpSocket *client, qsizetype index)
{
    if (client != m_client)
        return;
    Chunk chunk;
    {
        QMutexLocker lock(&m_mutex);
        if (index >= m_script.size()) {
            lock.unlock();
            m_scriptDone.store(true);
            if (m_closeAfterScript.load())
                closeConnection();
            return;
        }
        chunk = m_script.at(index);
    }
    const auto send = [this, client, chunk, index] {
        if (client != m_client)
            return;
        // Each chunk leaves in a segment of its own.
        m_bytesSent += client->write(chunk.bytes);
        client->flush();
        QTimer::singleShot(0, this, [this, client, index] { sendStep(client, index + 1); });
    };
    if (chunk.delayMs > 0)
        QTimer::singleShot(chunk.delayMs, this, send);
    else
        send();
}

void RemoteInputSender::sendNow(const QByteArray &bytes)
{
    if (!m_client)
        return;
    m_bytesSent += m_client->write(bytes);
    m_client->flush();
}

void RemoteInputSender::closeConnection()
{
    if (!m_client)
        return;
    m_client->setProperty("closedHere", true);
    m_client->disconnectFromHost();
}

namespace {

// "5:0x201,4:0x201" → the records of that script, sent at once.
QByteArray recordsFromText(const QString &text, bool *ok)
{
    QByteArray bytes;
    *ok = true;
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(QLatin1Char(':'));
        bool typeOk = false, valueOk = false;
        const quint32 type = parts.value(0).trimmed().toUInt(&typeOk, 0);
        const qint32 value = parts.value(1).trimmed().toInt(&valueOk, 0);
        if (parts.size() != 2 || !typeOk || !valueOk) {
            *ok = false;
            return {};
        }
        bytes.append(RemoteInputSender::record(type, value));
    }
    return bytes;
}

const ReceiverComponentRegistration registration({
    QStringLiteral("remote-input"),
    QStringLiteral("sends scripted remote-input records to each client"),
    [](QCommandLineParser &parser) {
        parser.addOption({QStringLiteral("remote-input-port"),
                          QStringLiteral("TCP port of remote input (default 52020)."), QStringLiteral("port"),
                          QStringLiteral("52020")});
        parser.addOption({QStringLiteral("remote-input-records"),
                          QStringLiteral("Records to send, as type:value pairs, e.g. 8:5500,9:5500,5:0,4:0."),
                          QStringLiteral("records")});
    },
    [](ReceiverEmulator &emulator, const QCommandLineParser &parser) -> ReceiverComponent * {
        auto *sender =
            emulator.addComponent<RemoteInputSender>(quint16(parser.value(QStringLiteral("remote-input-port")).toUInt()));
        bool ok = true;
        const QByteArray records = recordsFromText(parser.value(QStringLiteral("remote-input-records")), &ok);
        if (ok && !records.isEmpty())
            sender->setScript({{records, 0}});
        return sender;
    },
});

} // namespace
