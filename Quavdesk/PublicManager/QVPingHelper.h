#pragma once

#include <QAbstractSocket>
#include <QList>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class QTcpSocket;

// Intervals of the connection probe. Production values are these.
struct QVPingHelperTimings {
    // Between attempts; the first attempt comes one interval after the start.
    std::chrono::milliseconds interval{1000};
};

// Tells a lost network from a server error: it opens a TCP connection to the
// receiver's file-share server. YES at the first accepted connection; NO when
// the third failed attempt is reported (about 3 s for a host that refuses),
// or at the fourth tick while connects neither succeed nor fail (about 4 s).
// One probe runs at a time in the process; it lives on the main thread.
class QVPingHelper : public QObject
{
    Q_OBJECT
public:
    using Completion = std::function<void(bool reachable)>;

    // Who asks; only the upload page's delete differs.
    enum Type : qint64 {
        UploadCheck = 0,
        UploadDelete = 1,
        DownloadCheck = 2,
    };
    // Attempts counted before a failure answers NO.
    static constexpr qint64 kAttempts = 3;

    // The process's probe of the share manager's file-share server.
    static QVPingHelper *sharedPingHelper();

    // `fileShareIp` gives the "http://address:port" to probe at each attempt.
    explicit QVPingHelper(std::function<QString()> fileShareIp, QVPingHelperTimings timings = {},
                          QObject *parent = nullptr);
    ~QVPingHelper() override;
    QVPingHelper(const QVPingHelper &) = delete;
    QVPingHelper &operator=(const QVPingHelper &) = delete;

    // Starts a probe; `completion` is called exactly once, on this object's
    // thread, never from inside this call. A probe already running is
    // started over: for type 1 its callers are answered NO first; otherwise
    // they wait for the new probe's answer with the new caller.
    void pingNetworkWithType(qint64 type, Completion completion);

    bool isRunning() const { return m_timer.isActive(); }
    qint64 retryCount() const { return m_retryCount; }

private:
    void attempt();
    void onConnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void stopPing();
    void finish(bool reachable);

    std::function<QString()> m_fileShareIp;
    QVPingHelperTimings m_timings;
    QTcpSocket *m_socket = nullptr;
    QTimer m_timer;
    qint64 m_retryCount = 0;
    QList<Completion> m_waiters;
};
