#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

#include "Socket/AsyncSocket.h"
#include "Socket/GCDAsyncSocket.h"

namespace SocketTest {

// A loop-back server that accepts and records what each connection sends.
class RecordingServer : public QObject {
public:
    explicit RecordingServer(const QHostAddress &address);
    ~RecordingServer() override;
    quint16 port() const { return m_server.serverPort(); }
    QTcpSocket *connection(int index = 0) const { return index < m_connections.size() ? m_connections[index] : nullptr; }
    int connectionCount() const { return static_cast<int>(m_connections.size()); }
    QByteArray received(int index = 0) const { return index < m_received.size() ? m_received[index] : QByteArray(); }
    bool sawEndOfStream(int index = 0) const { return index < m_ended.size() && m_ended[index]; }
    // Closes a connection with a reset instead of an orderly close.
    void reset(int index = 0);

private:
    QTcpServer m_server;
    QList<QTcpSocket *> m_connections;
    QList<QByteArray> m_received;
    QList<bool> m_ended;
};

// Records the run-loop socket's callbacks in order.
struct RunLoopRecorder : AsyncSocketDelegate {
    QStringList events;
    QList<QPair<qint64, QByteArray>> reads;
    QList<qint64> writes;
    std::optional<TavlinError> willDisconnectError;
    int willDisconnectCount = 0;
    int didDisconnectCount = 0;
    bool connected = false;
    QString connectedHost;
    quint16 connectedPort = 0;

    void onSocketDidConnectToHost(AsyncSocket *, const QString &host, quint16 port) override;
    void onSocketDidReadData(AsyncSocket *, const QByteArray &data, qint64 tag) override;
    void onSocketDidWriteDataWithTag(AsyncSocket *, qint64 tag) override;
    void onSocketWillDisconnectWithError(AsyncSocket *, const TavlinError &error) override;
    void onSocketDidDisconnect(AsyncSocket *) override;
};

// Records the queue-based socket's callbacks in order.
struct QueueRecorder : GCDAsyncSocketDelegate {
    QStringList events;
    QList<QPair<qint64, QByteArray>> reads;
    QList<qint64> writes;
    QList<OptionalTavlinError> disconnects;
    bool connected = false;

    void socketDidConnectToHost(GCDAsyncSocket *, const QString &host, quint16 port) override;
    void socketDidReadData(GCDAsyncSocket *, const QByteArray &data, qint64 tag) override;
    void socketDidWriteDataWithTag(GCDAsyncSocket *, qint64 tag) override;
    void socketDidDisconnect(GCDAsyncSocket *, const OptionalTavlinError &error) override;
};

} // namespace SocketTest
