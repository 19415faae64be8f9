#include "SearchResponder.h"

#include <QMutexLocker>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include "ReceiverComponentRegistry.h"

SearchResponder::SearchResponder(ReceiverEmulator &emulator, quint16 port, const QHostAddress &listenAddress)
    : ReceiverComponent(emulator), m_port(port), m_listenAddress(listenAddress)
{
}

SearchResponder::~SearchResponder()
{
    stop();
}

bool SearchResponder::start(QString *error)
{
    stop();
    const QHostAddress own = emulator().address();
    const QHostAddress listen = m_listenAddress.isNull() ? own : m_listenAddress;
    m_listen = new QUdpSocket(this);
    if (!m_listen->bind(listen, m_port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        if (error)
            *error = QStringLiteral("cannot listen on %1:%2: %3").arg(listen.toString()).arg(m_port).arg(m_listen->errorString());
        stop();
        return false;
    }
    m_boundPort.store(m_listen->localPort());
    if (listen != own) {
        m_reply = new QUdpSocket(this);
        if (!m_reply->bind(own, 0)) {
            if (error)
                *error = QStringLiteral("cannot bind %1: %2").arg(own.toString(), m_reply->errorString());
            stop();
            return false;
        }
    }
    connect(m_listen, &QUdpSocket::readyRead, this, &SearchResponder::readDatagrams);
    return true;
}

void SearchResponder::stop()
{
    delete m_listen;
    m_listen = nullptr;
    delete m_reply;
    m_reply = nullptr;
}

QByteArray SearchResponder::lastProbe() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastProbe;
}

QHostAddress SearchResponder::lastProbeSource() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastProbeSource;
}

quint16 SearchResponder::lastProbeSourcePort() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastProbeSourcePort;
}

bool SearchResponder::isProbe(const QByteArray &datagram)
{
    if (datagram.size() != 50)
        return false;
    for (int i = 0; i < 12; ++i) {
        if (datagram.at(i) != '\0')
            return false;
    }
    return true;
}

QByteArray SearchResponder::replyText(const ReceiverProfile &profile)
{
    const QString text = QStringLiteral("X:%1:%2:0:%3:%4:%5")
                             .arg(profile.name)
                             .arg(profile.port)
                             .arg(profile.unregistered ? 1 : 0)
                             .arg(QString::number(quint32(profile.features), 16),
                                  QString::number(quint32(profile.fps), 16));
    return text.toUtf8();
}

void SearchResponder::readDatagrams()
{
    while (m_listen && m_listen->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_listen->receiveDatagram();
        if (!isProbe(datagram.data())) {
            ++m_ignored;
            continue;
        }
        {
            QMutexLocker lock(&m_mutex);
            m_lastProbe = datagram.data();
            m_lastProbeSource = datagram.senderAddress();
            m_lastProbeSourcePort = quint16(datagram.senderPort());
        }
        ++m_probes;
        emit probeReceived(datagram.senderAddress(), quint16(datagram.senderPort()));
        if (m_silent.load())
            continue;
        QUdpSocket *out = m_reply ? m_reply : m_listen;
        if (out->writeDatagram(replyText(emulator().profile()), datagram.senderAddress(),
                               quint16(datagram.senderPort())) >= 0)
            ++m_replies;
    }
}

namespace {

const ReceiverComponentRegistration registration({
    QStringLiteral("search"),
    QStringLiteral("answers search probes with the receiver's profile"),
    [](QCommandLineParser &parser) {
        parser.addOption({QStringLiteral("search-port"), QStringLiteral("UDP port of search (default 48689)."),
                          QStringLiteral("port"), QStringLiteral("48689")});
        parser.addOption({QStringLiteral("search-listen"),
                          QStringLiteral("Address to hear probes on (default: the receiver's address)."),
                          QStringLiteral("address")});
        parser.addOption({QStringLiteral("search-silent"), QStringLiteral("Hear probes but answer none.")});
    },
    [](ReceiverEmulator &emulator, const QCommandLineParser &parser) -> ReceiverComponent * {
        const QString listen = parser.value(QStringLiteral("search-listen"));
        auto *responder = emulator.addComponent<SearchResponder>(
            quint16(parser.value(QStringLiteral("search-port")).toUInt()),
            listen.isEmpty() ? QHostAddress() : QHostAddress(listen));
        responder->setSilent(parser.isSet(QStringLiteral("search-silent")));
        return responder;
    },
});

} // namespace
