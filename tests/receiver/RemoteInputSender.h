#pragma once

// The receiver's side of remote input: a TCP server (port 52020 by default)
// that sends each client that connects a script of 16-byte event records
// (type, value, seconds, nanoseconds, each 32-bit big-endian), in chunks cut
// wherever the script says and with pauses between them. The client never
// writes; anything it sends is counted.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QPointer>
#include <atomic>

#include "ReceiverEmulator.h"

class QTcpServer;
class QTcpSocket;

class RemoteInputSender : public ReceiverComponent {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 52020;

    struct Chunk {
        QByteArray bytes;
        int delayMs = 0;   // wait before sending these bytes
    };

    // Port 0 picks a free port: see port().
    explicit RemoteInputSender(ReceiverEmulator &emulator, quint16 port = kDefaultPort);
    ~RemoteInputSender() override;

    QString componentName() const override { return QStringLiteral("remote-input"); }
    bool start(QString *error) override;
    void stop() override;

    quint16 port() const { return m_boundPort.load(); }

    // Wire bytes of one record, written here independently of the library.
    static QByteArray record(quint32 type, qint32 value, quint32 seconds = 0, quint32 nanoseconds = 0);

    // What each new client receives; any thread.
    void setScript(const QList<Chunk> &script);
    // Close the connection once the script has gone out; any thread.
    void setCloseAfterScript(bool close) { m_closeAfterScript.store(close); }

    // On the emulator's thread: bytes to the current client now, and its end.
    void sendNow(const QByteArray &bytes);
    void closeConnection();

    int connectionCount() const { return m_connections.load(); }
    // Clients whose side closed the connection.
    int clientCloseCount() const { return m_clientCloses.load(); }
    qint64 bytesSent() const { return m_bytesSent.load(); }
    qint64 bytesReceived() const { return m_bytesReceived.load(); }
    bool scriptDone() const { return m_scriptDone.load(); }

private:
    void accept();
    void sendStep(QTcpSocket *client, qsizetype index);

    quint16 m_port;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_client;
    mutable QMutex m_mutex;
    QList<Chunk> m_script;
    std::atomic<quint16> m_boundPort{0};
    std::atomic<bool> m_closeAfterScript{false};
    std::atomic<bool> m_scriptDone{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_clientCloses{0};
    std::atomic<qint64> m_bytesSent{0};
    std::atomic<qint64> m_bytesReceived{0};
};
