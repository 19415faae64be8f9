#include "QVNetWork.h"

#include <QCoreApplication>

QVNetWork *QVNetWork::shareNetWork()
{
    // Lives for the process, like the monitoring it runs.
    static QVNetWork *instance = new QVNetWork(Backend::Any);
    return instance;
}

QVNetWork::QVNetWork(Backend backend, QObject *parent) : QObject(parent), m_backend(backend)
{
    openNetMonitoring();
}

void QVNetWork::setIsConnect(bool connected)
{
    if (m_isConnect.exchange(connected) != connected)
        emit isConnectChanged(connected);
}

std::optional<bool> QVNetWork::verdictFor(QNetworkInformation::Reachability reachability)
{
    switch (reachability) {
    case QNetworkInformation::Reachability::Disconnected:
        return false;
    case QNetworkInformation::Reachability::Local:
    case QNetworkInformation::Reachability::Site:
    case QNetworkInformation::Reachability::Online:
        return true;
    case QNetworkInformation::Reachability::Unknown:
        break;
    }
    return std::nullopt;
}

void QVNetWork::apply(QNetworkInformation::Reachability reachability)
{
    if (const auto verdict = verdictFor(reachability))
        setIsConnect(*verdict);
}

void QVNetWork::openNetMonitoring()
{
    setIsConnect(true);
    if (m_backend == Backend::None || m_hasBackend)
        return;
    if (!QNetworkInformation::instance()
        && !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    QNetworkInformation *information = QNetworkInformation::instance();
    if (!information || !information->supports(QNetworkInformation::Feature::Reachability))
        return;
    m_hasBackend = true;
    connect(information, &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) { apply(reachability); });
    apply(information->reachability());
}
