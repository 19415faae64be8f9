#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <atomic>
#include <optional>

#include "TavlinError.h"
#include "TavlinExport.h"

class QSocketNotifier;
class QHostInfo;

// The machinery both TCP socket flavours share: an event-driven, non-blocking
// descriptor on the thread that made the socket, a write queue, a FIFO of
// read requests with their tags and time-outs, and connect, read and write
// time-outs. The flavours decide the error codes and the shape of the
// callbacks.
//
// The descriptor is driven directly through QSocketNotifier rather than
// through QTcpSocket because QTcpSocket reports a reset by the peer as an
// orderly close and closes the descriptor before anyone can tell the two
// apart; the callers treat them differently.
//
// Every callback is delivered from the event loop, never from inside the call
// that caused it, so a delegate may call back into the socket (or schedule
// its destruction) from any callback.
class TcpSocketBase : public QObject {
    Q_OBJECT
public:
    ~TcpSocketBase() override;

    // Starts a connect; time-outs in milliseconds, negative for none. False
    // (with `error` filled) when the connect cannot even start: the socket is
    // already in use, or the host or port is empty. Every connect that
    // started ends in exactly one disconnect callback.
    bool connectToHost(const QString &host, quint16 port, int timeoutMs, TavlinError *error = nullptr);

    // Queues a read that completes with whatever bytes are available (at
    // least one). Reads complete in the order they were queued; a read's
    // time-out runs from the moment it is the first in line on a connected
    // socket. Bytes that arrive while no read waits are kept for the next.
    void readDataWithTimeout(int timeoutMs, qint64 tag);
    // Queues a write; an empty one queues nothing. Writes before the connect
    // completes wait and go out, in order, once connected; writes (and
    // reads) after a connection ended are dropped until the next connect.
    void writeData(const QByteArray &data, int timeoutMs, qint64 tag);

    // Closes at once, dropping queued writes and reads.
    void disconnect();
    // Closes once the queued writes are out; later reads and writes are ignored.
    void disconnectAfterWriting();
    // Closes once the queued reads are answered and the writes are out.
    void disconnectAfterReadingAndWriting();
    // Closes at once, after handing the queued writes to the system as far
    // as it takes them without waiting: for an owner that goes now and
    // leaves no event loop to send them later (the program ending). Nothing
    // is reported for the writes.
    void disconnectAfterWritingNow();

    bool isConnected() const;
    // Neither connecting nor connected.
    bool isDisconnected() const;
    QString connectedHost() const;
    quint16 connectedPort() const;

    // One integer per socket, zero when made, readable and writable from any
    // thread.
    qint64 userData() const;
    void setUserData(qint64 value);

    // Writes waiting behind the write in progress (which is not counted).
    // Readable from any thread without blocking.
    qint64 queneCount() const;

    // Bounds for a control connection, whose peer may be hostile. With a
    // bound on waiting bytes, a write that finds more than that many bytes
    // waiting behind the write in progress ends the connection with the
    // POSIX error ENOBUFS instead of being queued: a peer that asks for
    // answers and never reads them cannot make us keep them, while one
    // request of ours, however long, still goes out. 0, the default, sets no
    // bound.
    void setMaxWaitingBytes(qint64 bytes);
    // With a single read, a read asked for while one already waits is the
    // same read: the owner re-arms it from its read callback, and never
    // piles up reads that a peer's bytes would then satisfy one by one.
    void setSingleRead(bool single);
    // The bounds of every control connection (handshake, master control,
    // cast control, remote input): about a megabyte of answers, far more
    // than any well-behaved exchange leaves waiting, and one read. Every
    // byte read there is parsed on the main thread, so such a connection
    // also takes a smaller bite per wake-up than a media one, and a flooding
    // peer delays timers and other sockets by little.
    static constexpr qint64 kControlMaxWaitingBytes = 1024 * 1024;
    static constexpr qsizetype kControlReadPerEvent = 64 * 1024;
    static constexpr qsizetype kDefaultReadPerEvent = 1024 * 1024;
    void setControlConnectionLimits()
    {
        setMaxWaitingBytes(kControlMaxWaitingBytes);
        setSingleRead(true);
        m_maxReadPerEvent = kControlReadPerEvent;
    }
    // Bytes waiting behind the write in progress, and the most that ever
    // waited. Readable from any thread without blocking.
    qint64 waitingBytes() const;
    qint64 waitingBytesHighWater() const;
    // Reads asked for and not yet answered.
    qsizetype pendingReads() const { return m_reads.size(); }

    // The connected descriptor, or -1 when there is none.
    int socketFD() const;

signals:
    // After the delegate heard of the end of a started connection.
    void closed();

protected:
    explicit TcpSocketBase(QObject *parent);

    virtual void notifyConnected(const QString &host, quint16 port) = 0;
    virtual void notifyRead(const QByteArray &data, qint64 tag) = 0;
    virtual void notifyWritten(qint64 tag) = 0;
    // Once per started connection, after it ended; no error for a close that
    // this side asked for.
    virtual void notifyClosed(const OptionalTavlinError &error) = 0;

    virtual TavlinError connectTimeoutError() const = 0;
    virtual TavlinError readTimeoutError() const = 0;
    virtual TavlinError writeTimeoutError() const = 0;
    // What an orderly close by the peer reports (none: a plain close).
    virtual OptionalTavlinError closedByPeerError() const = 0;
    // The error of a connect that could not start.
    virtual TavlinError startError(const QString &text) const = 0;
    // A failure with no errno value (a failed name lookup).
    virtual TavlinError otherError(const QString &text) const = 0;

    // Drops the writes that wait; the write in progress goes on.
    void dropWaitingWrites();
    // Host and port of the last connect that started (empty and 0 before).
    QString lastConnectHost() const { return m_lastConnectHost; }
    quint16 lastConnectPort() const { return m_lastConnectPort; }

private:
    enum class State { Idle, Resolving, Connecting, Connected };
    struct ReadRequest {
        qint64 tag = 0;
        int timeoutMs = -1;
    };
    struct WriteRequest {
        QByteArray data;
        qint64 tag = 0;
        int timeoutMs = -1;
    };

    void startConnect(const QHostAddress &address);
    void onLookup(const QHostInfo &info);
    void onConnectWritable();
    void onConnected();
    void onReadable();
    void onWritable();
    void schedulePump();
    void pump();
    void pumpReads();
    void pumpWrites();
    void armReadTimer();
    void checkDisconnectAfter();
    void closeWithError(const OptionalTavlinError &error);
    void closeDescriptor();
    void updateQueneCount();
    void addWaitingBytes(qint64 delta);

    State m_state = State::Idle;
    int m_fd = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    int m_lookupId = -1;
    QHostAddress m_peerAddress;
    quint16 m_peerPort = 0;
    QString m_lastConnectHost;
    quint16 m_lastConnectPort = 0;

    QTimer m_connectTimer;
    QTimer m_readTimer;
    QTimer m_writeTimer;

    QByteArray m_readBuffer;
    QList<ReadRequest> m_reads;
    bool m_readTimerForHead = false;
    QList<WriteRequest> m_writes;
    std::optional<WriteRequest> m_currentWrite;
    qsizetype m_currentOffset = 0;

    // A connection started and ended; nothing more is queued until the next.
    bool m_ended = false;
    bool m_closeAfterWriting = false;
    bool m_closeAfterReading = false;
    bool m_pumpScheduled = false;

    qint64 m_maxWaitingBytes = 0;
    // Bytes read per readiness event, so one busy socket cannot starve the loop.
    qsizetype m_maxReadPerEvent = kDefaultReadPerEvent;
    bool m_singleRead = false;

    std::atomic<qint64> m_userData{0};
    std::atomic<qint64> m_queneCount{0};
    std::atomic<qint64> m_waitingBytes{0};
    std::atomic<qint64> m_waitingBytesHighWater{0};
};
