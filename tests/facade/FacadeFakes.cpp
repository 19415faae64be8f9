#include "FacadeFakes.h"

QString describe(const OptionalTavlinError &error)
{
    if (!error)
        return QStringLiteral("none");
    return QStringLiteral("%1/%2").arg(error->domain).arg(error->code);
}

bool JournalStore::contains(const QString &key) const
{
    journal->append(QStringLiteral("store.contains ") + key);
    return values.contains(key);
}

void JournalStore::setValue(const QString &key, const QVariant &value)
{
    journal->append(QStringLiteral("store.set %1=%2").arg(key, value.toString()));
    values.insert(key, value);
}

QString JournalMachineInfo::cpuBrand()
{
    journal->append(QStringLiteral("machine.cpuBrand"));
    return brand;
}

bool JournalActivityInhibitor::beginActivity(const QString &reason)
{
    journal->append(QStringLiteral("activity ") + reason);
    return true;
}

bool JournalIPv4Monitor::isPrimaryIPv4Present()
{
    if (!quiet)
        journal->append(QStringLiteral("ipv4.read"));
    return present;
}

ConnectSessionFactory SessionBook::connectFactory()
{
    return [this](ConnectPackDelegate *delegate) -> std::unique_ptr<ConnectSession> {
        if (failFactory)
            return nullptr;
        return std::make_unique<FakeConnectSession>(delegate, this);
    };
}

MasterControlSessionFactory SessionBook::masterFactory()
{
    return [this](MasterControlPackDelegate *delegate) -> std::unique_ptr<MasterControlSession> {
        if (failFactory)
            return nullptr;
        return std::make_unique<FakeMasterSession>(delegate, this);
    };
}

AudioDriverFactory SessionBook::driverFactory()
{
    return [this]() -> std::unique_ptr<AudioDriverOperations> {
        ++driversMade;
        return std::make_unique<FakeAudioDriver>(this);
    };
}

FakeConnectSession::FakeConnectSession(ConnectPackDelegate *sessionDelegate, SessionBook *owner)
    : delegate(sessionDelegate), book(owner)
{
    ++book->connectsMade;
    book->connects.append(this);
}

FakeConnectSession::~FakeConnectSession()
{
    ++book->connectsDestroyed;
    book->connects.removeAll(this);
    book->journal->append(QStringLiteral("connect.destroyed"));
}

// As the real one: told of the start only when it starts.
bool FakeConnectSession::connectDeviceByIp(const QString &ip, const std::function<void()> &whenStarted)
{
    book->journal->append(QStringLiteral("connect.byIp ") + ip);
    if (book->connectResult && whenStarted)
        whenStarted();
    return book->connectResult;
}

bool FakeConnectSession::connectDeviceByPin(const QString &code, const std::function<void()> &whenStarted)
{
    book->journal->append(QStringLiteral("connect.byPin ") + code);
    if (book->connectResult && whenStarted)
        whenStarted();
    return book->connectResult;
}

void FakeConnectSession::connectDeviceByIpCheckPwd(const QString &code)
{
    book->journal->append(QStringLiteral("connect.checkPwd ") + code);
}

FakeMasterSession::FakeMasterSession(MasterControlPackDelegate *sessionDelegate, SessionBook *owner)
    : delegate(sessionDelegate), book(owner)
{
    ++book->mastersMade;
    book->masters.append(this);
}

FakeMasterSession::~FakeMasterSession()
{
    ++book->mastersDestroyed;
    book->masters.removeAll(this);
    book->journal->append(QStringLiteral("master.destroyed"));
}

bool FakeMasterSession::startMasterControlPack()
{
    book->journal->append(QStringLiteral("master.start"));
    TavlinGlobal::setIsConnecting(true);
    return book->masterResult;
}

bool FakeMasterSession::setPasueCast(qint64 status)
{
    book->journal->append(QStringLiteral("master.pause %1").arg(status));
    return book->masterResult;
}

bool FakeMasterSession::fullScreenOperator(qint64 status)
{
    book->journal->append(QStringLiteral("master.fullScreen %1").arg(status));
    return book->masterResult;
}

void FakeMasterSession::disconnectOperator(qint64 reason)
{
    book->journal->append(QStringLiteral("master.disconnect %1").arg(reason));
    if (!TavlinGlobal::getIsConnecting())
        return;
    TavlinGlobal::setIsConnecting(false);
    delegate->masterControlPack_deviceDidDisconnectWithError(TavlinGlobal::errorForDisconnectReason(reason));
}

void RecordingDelegate::note(const QString &event)
{
    journal->append(event);
    if (during)
        during(event);
}

void RecordingDelegate::deviceListChanged(const QList<DeviceInformation> &devices)
{
    QStringList entries;
    for (const DeviceInformation &device : devices)
        entries.append(device.deviceName() + QLatin1Char('@') + device.deviceIP());
    lists.append(entries);
    note(QStringLiteral("app.list [%1]").arg(entries.join(QStringLiteral(", "))));
}

void RecordingDelegate::connectDeviceSuccess(ServerInfo serverInfo)
{
    note(QStringLiteral("app.success %1@%2").arg(serverInfo.deviceName, serverInfo.deviceIP));
}

void RecordingDelegate::connectDeviceWithError(const TavlinError &error)
{
    note(QStringLiteral("app.connectError ") + describe(error));
}

void RecordingDelegate::deviceDidDisconnectWithError(const OptionalTavlinError &error)
{
    note(QStringLiteral("app.disconnected ") + describe(error));
}

void RecordingDelegate::castStopWithError(const OptionalTavlinError &error)
{
    note(QStringLiteral("app.castStop ") + describe(error));
}

void RecordingDelegate::allowFullScreenStateChanged(qint64 state)
{
    note(QStringLiteral("app.allowFullScreen %1").arg(state));
}

void RecordingDelegate::fullScreenStateChanged(qint64 state)
{
    note(QStringLiteral("app.fullScreen %1").arg(state));
}

void RecordingDelegate::replyCastRequest(qint64 reply)
{
    note(QStringLiteral("app.replyCastRequest %1").arg(reply));
}
