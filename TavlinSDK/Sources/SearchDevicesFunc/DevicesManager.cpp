#include "DevicesManager.h"

#include <QDebug>
#include <QNetworkDatagram>
#include <QPointer>
#include <QUdpSocket>

#include "SearchDevicesFunc/SearchCodec.h"

namespace {

// Dotted IPv4 text of a sender, also when a dual-stack socket reports it as
// an IPv4-mapped IPv6 address; empty for a real IPv6 sender.
QString senderIPv4Text(const QHostAddress &sender)
{
    bool isIPv4 = false;
    const quint32 ipv4 = sender.toIPv4Address(&isIPv4);
    if (!isIPv4)
        return {};
    return QHostAddress(ipv4).toString();
}

} // namespace

DevicesManager &DevicesManager::defaultManager()
{
    // Never destroyed: the search runs for the life of the process.
    static DevicesManager *const instance = new DevicesManager(SearchEndpoints{});
    return *instance;
}

DevicesManager::DevicesManager(const SearchEndpoints &searchEndpoints, int probeIntervalMs,
                               QObject *parent)
    : QObject(parent), endpoints(searchEndpoints), udpSocket(new QUdpSocket(this))
{
    probeTimer.setSingleShot(true);
    probeTimer.setInterval(probeIntervalMs);
    connect(&probeTimer, &QTimer::timeout, this, &DevicesManager::searchStep);
    connect(udpSocket, &QUdpSocket::readyRead, this, &DevicesManager::readPendingDatagrams);

    // Another client on this machine may hold the port too; without a bind the
    // first probe binds an ephemeral port and replies still come back to it.
    udpSocket->bind(endpoints.bindAddress, endpoints.bindPort,
                    QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint);
}

DevicesManager::~DevicesManager() = default;

void DevicesManager::StartSearch(SearchBlock block)
{
    mblock = std::move(block);
    req_stop = false;
    searchStep();
}

void DevicesManager::StopSearch()
{
    req_stop = true;
    probeTimer.stop();
}

void DevicesManager::PauseSearch()
{
    req_pause = true;
    probeTimer.stop();
}

void DevicesManager::ResumeSearch()
{
    req_pause = false;
    searchStep();
}

QByteArray DevicesManager::buildSearchDevicesMessage()
{
    return SearchCodec::buildSearchDevicesMessage();
}

quint16 DevicesManager::localPort() const
{
    return udpSocket->localPort();
}

void DevicesManager::searchStep()
{
    if (!req_pause)
        sendProbe();
    probeTimer.start();
}

void DevicesManager::sendProbe()
{
    const QByteArray probe = buildSearchDevicesMessage();
    for (const QHostAddress &address : std::as_const(endpoints.probeAddresses)) {
        if (udpSocket->writeDatagram(probe, address, endpoints.probePort) < 0)
            qInfo().noquote() << "send search device cmd failed \n";
    }
}

void DevicesManager::readPendingDatagrams()
{
    const QPointer<DevicesManager> alive(this);
    while (alive && udpSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = udpSocket->receiveDatagram();
        if (req_pause)
            continue;
        const QByteArray data = datagram.data();
        // Probes (ours included) share the port with the replies.
        if (SearchCodec::isSearchProbe(data))
            continue;
        const QString sender = senderIPv4Text(datagram.senderAddress());
        const SearchCodec::ParsedReply reply = SearchCodec::parseSearchReply(data, sender);
        if (reply.status != SearchCodec::ReplyStatus::Accepted) {
            qInfo().noquote() << QStringLiteral("search reply of %1 bytes from %2 ignored: %3")
                                     .arg(data.size())
                                     .arg(datagram.senderAddress().toString(),
                                          QString::fromLatin1(SearchCodec::replyStatusText(reply.status)));
            continue;
        }
        // A copy: the block may hand a new block to StartSearch().
        if (const SearchBlock block = mblock)
            block(reply.device);
    }
}
