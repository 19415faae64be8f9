#include "QVNetWork.h"

#include "PublicManager/QVPlatform.h"

#include <algorithm>

QVNetWork *QVNetWork::shareNetWork()
{
    // Lives for the process, like the monitoring it runs.
    static QVNetWork *instance = new QVNetWork(QVPlatform::services().networkInterfaceWatch);
    return instance;
}

QVNetWork::QVNetWork(std::shared_ptr<Platform::NetworkInterfaceWatch> watch, QObject *parent)
    : QObject(parent), m_watch(std::move(watch))
{
    openNetMonitoring();
}

void QVNetWork::setIsConnect(bool connected)
{
    if (m_isConnect.exchange(connected) != connected)
        emit isConnectChanged(connected);
}

bool QVNetWork::verdictFor(const QList<Platform::NetworkInterface> &interfaces)
{
    return std::any_of(interfaces.begin(), interfaces.end(), [](const Platform::NetworkInterface &interface) {
        if (!interface.up || interface.loopback)
            return false;
        return std::any_of(interface.ipv4Addresses.begin(), interface.ipv4Addresses.end(), [](const QString &address) {
            return !address.isEmpty() && !address.startsWith(QLatin1String("127."));
        });
    });
}

void QVNetWork::takeReading()
{
    setIsConnect(verdictFor(m_watch->interfaces()));
}

void QVNetWork::openNetMonitoring()
{
    setIsConnect(true);
    if (!m_watch)
        return;
    if (!m_following) {
        m_following = true;
        connect(m_watch.get(), &Platform::NetworkInterfaceWatch::changed, this, &QVNetWork::takeReading);
    }
    m_watch->start();
    takeReading();
}
