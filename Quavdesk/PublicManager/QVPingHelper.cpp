#include "QVPingHelper.h"

#include <QTcpSocket>
#include <QUrl>

#include "QVLog.h"
#include "QVShareManager.h"

QVPingHelper *QVPingHelper::sharedPingHelper()
{
    static QVPingHelper *instance =
        new QVPingHelper([] { return QVShareManager::sharedShareManager()->fileShareIp(); });
    return instance;
}

QVPingHelper::QVPingHelper(std::function<QString()> fileShareIp, QVPingHelperTimings timings, QObject *parent)
    : QObject(parent), m_fileShareIp(std::move(fileShareIp)), m_timings(timings), m_socket(new QTcpSocket(this))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(m_timings.interval);
    connect(&m_timer, &QTimer::timeout, this, &QVPingHelper::attempt);
    connect(m_socket, &QTcpSocket::connected, this, &QVPingHelper::onConnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &QVPingHelper::onSocketError);
}

QVPingHelper::~QVPingHelper()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

void QVPingHelper::pingNetworkWithType(qint64 type, Completion completion)
{
    m_retryCount = 0;
    QList<Completion> superseded;
    if (isRunning()) {
        // The delete's probe must not wait behind another: the callers of the
        // running probe are told NO. Every other caller joins the new probe.
        if (type == UploadDelete)
            superseded = std::exchange(m_waiters, {});
        m_timer.stop();
        m_socket->abort();
    }
    m_waiters.append(std::move(completion));
    m_timer.start();
    for (Completion &waiter : superseded) {
        QMetaObject::invokeMethod(
            this, [waiter = std::move(waiter)] { waiter(false); }, Qt::QueuedConnection);
    }
}

void QVPingHelper::attempt()
{
    const QUrl url(m_fileShareIp ? m_fileShareIp() : QString());
    const QString host = url.host();
    const int port = url.port();
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->abort();

    // A connect that cannot even start (no address, or the last one still
    // hangs) fails at once; it counts like a refused one.
    QString immediateError;
    if (host.isEmpty() || port <= 0 || port > 65535)
        immediateError = QStringLiteral("no file-share address in \"%1\"").arg(url.toString());
    else if (m_socket->state() != QAbstractSocket::UnconnectedState)
        immediateError = QStringLiteral("Attempting to connect while connected or connecting");

    if (immediateError.isEmpty()) {
        m_socket->connectToHost(host, quint16(port));
    } else {
        QVLogInfo(QVLog::ContextDefault, QStringLiteral("QVPingHelper Error: %1").arg(immediateError));
        if (m_retryCount >= kAttempts) {
            finish(false);
            return;
        }
    }
    ++m_retryCount;
}

void QVPingHelper::onConnected()
{
    if (isRunning())
        finish(true);
}

void QVPingHelper::onSocketError(QAbstractSocket::SocketError)
{
    QVLogInfo(QVLog::ContextDefault,
              QStringLiteral("QVPingHelper Disconnected with error: %1").arg(m_socket->errorString()));
    if (isRunning() && m_retryCount >= kAttempts)
        finish(false);
}

void QVPingHelper::stopPing()
{
    m_timer.stop();
    m_socket->abort();
    m_retryCount = 0;
}

void QVPingHelper::finish(bool reachable)
{
    const QList<Completion> waiters = std::exchange(m_waiters, {});
    stopPing();
    for (const Completion &waiter : waiters) {
        if (waiter)
            waiter(reachable);
    }
}
