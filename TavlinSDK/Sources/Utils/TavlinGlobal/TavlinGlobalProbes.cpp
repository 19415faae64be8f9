// What TavlinGlobal learns about this machine.

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/TavlinGlobal/InterfaceSource.h"
#include "Utils/settings/PrimaryMacAddress.h"

void TavlinGlobal::setInterfaceAddresses(std::shared_ptr<Platform::InterfaceAddresses> source)
{
    InterfaceSource::install(std::move(source));
}

void TavlinGlobal::setMachineInfo(std::shared_ptr<Platform::MachineInfo> source)
{
    InterfaceSource::installMachineInfo(std::move(source));
}

QString TavlinGlobal::getMineIPAddress()
{
    // The real interfaces never report a loop-back address; 127.0.0.1 is
    // refused here as well, so that a casting code never maps onto this host's
    // own services. Other addresses pass, which lets tests stand in a
    // loop-back address of their own.
    const std::shared_ptr<Platform::InterfaceAddresses> source = InterfaceSource::current();
    QString address = source ? source->mineIPv4Address() : QString();
    if (!isValidIPAddress(address) || address == QLatin1String("127.0.0.1"))
        address.clear();
    qInfo("mine ipaddress = %s", qUtf8Printable(address));
    return address;
}

QString TavlinGlobal::getMineMacAddress()
{
    QString address = QStringLiteral("0:0:0:0:0:0");
    address = getPrimaryMacAdd();
    address.remove(QLatin1Char(':'));
    return address;
}

bool TavlinGlobal::isConnectWIFI()
{
    return false;
}

QString TavlinGlobal::getCurrentSSID()
{
    return QString();
}

QString TavlinGlobal::machineModel()
{
    const std::shared_ptr<Platform::MachineInfo> source = InterfaceSource::machineInfo();
    const QString model = source ? source->model() : QString();
    if (model.isEmpty())
        return QStringLiteral("Just an Apple Computer");
    return model;
}

QString TavlinGlobal::appCachePath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QString path = folder + QLatin1Char('/') + QCoreApplication::applicationName();
    qInfo("cachePath:%s", qUtf8Printable(path));
    return path;
}

namespace {

QThreadPool *replaceQueue(QThreadPool *&slot, const char *name)
{
    delete slot; // waits for the work already handed to it
    slot = new QThreadPool;
    slot->setObjectName(QString::fromLatin1(name));
    slot->setMaxThreadCount(1);
    return slot;
}

QThreadPool *pingQueue = nullptr;
QThreadPool *captureQueue = nullptr;

} // namespace

QThreadPool *TavlinGlobal::createPingQueue()
{
    return replaceQueue(pingQueue, "com.TavlinPub.PingQueue");
}

QThreadPool *TavlinGlobal::getPingQueue()
{
    return pingQueue;
}

QThreadPool *TavlinGlobal::createCaptureQueue()
{
    return replaceQueue(captureQueue, "com.TavlinPub.CaptureQueue");
}

QThreadPool *TavlinGlobal::getCaptureQueue()
{
    return captureQueue;
}
