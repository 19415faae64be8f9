#include "TavlinSDK.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QStringDecoder>

#include "Platform/LinuxServices.h"
#include "TavlinSDK_p.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/settings.h"

namespace {

const QString kClientNameKey = QStringLiteral("TavlinMacClientName");
const QString kActivityReason = QStringLiteral("tavlin cast screen");

// Control characters and line breaks never go into a casting code: the code
// travels inside a line-oriented text protocol.
bool hasLineOrControlCharacter(const QString &code)
{
    for (const QChar ch : code) {
        switch (ch.category()) {
        case QChar::Other_Control:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            break;
        }
    }
    return false;
}

// The whole text is one decimal integer: leading white space and a sign are
// allowed before the digits, nothing after them.
bool scansAsOneInteger(const QString &code)
{
    if (hasLineOrControlCharacter(code))
        return false;
    qsizetype i = 0;
    const qsizetype n = code.size();
    while (i < n && code.at(i).isSpace())
        ++i;
    if (i < n && (code.at(i) == u'+' || code.at(i) == u'-'))
        ++i;
    const qsizetype firstDigit = i;
    while (i < n && code.at(i) >= u'0' && code.at(i) <= u'9')
        ++i;
    return i > firstDigit && i == n;
}

bool onlyCapitalLetters(const QString &code)
{
    if (code.isEmpty())
        return false;
    for (const QChar ch : code) {
        if (ch < u'A' || ch > u'Z')
            return false;
    }
    return true;
}

QString cpuBrandFromText(const QString &text)
{
    if (text.contains(QLatin1String("Apple")))
        return QStringLiteral("Apple");
    if (text.contains(QLatin1String("Intel")))
        return QStringLiteral("Intel");
    return QStringLiteral("unknow");
}

} // namespace

// ---------------------------------------------------------------------------
// Relays

void ConnectPackRelay::connectPack_needEnterPwd()
{
    if (owner)
        owner->connectPack_needEnterPwd();
}
void ConnectPackRelay::connectPack_pwdIncorrect(const TavlinError &error)
{
    if (owner)
        owner->connectPack_pwdIncorrect(error);
}
void ConnectPackRelay::connectPack_connectDeviceCheckSuccess()
{
    if (owner)
        owner->connectPack_connectDeviceCheckSuccess();
}
void ConnectPackRelay::connectPack_connectDeviceCheckWithError(const TavlinError &error)
{
    if (owner)
        owner->connectPack_connectDeviceCheckWithError(error);
}

void MasterControlPackRelay::masterControlPack_deviceDidDisconnectWithError(const OptionalTavlinError &error)
{
    if (owner)
        owner->masterControlPack_deviceDidDisconnectWithError(error);
}
void MasterControlPackRelay::masterControlPack_castSuccess()
{
    if (owner)
        owner->masterControlPack_castSuccess();
}
void MasterControlPackRelay::masterControlPack_castStopWithError(const OptionalTavlinError &error)
{
    if (owner)
        owner->masterControlPack_castStopWithError(error);
}
void MasterControlPackRelay::masterControlPack_allowFullScreenStateChanged(qint64 state)
{
    if (owner)
        owner->masterControlPack_allowFullScreenStateChanged(state);
}
void MasterControlPackRelay::masterControlPack_fullScreenStateChanged(qint64 state)
{
    if (owner)
        owner->masterControlPack_fullScreenStateChanged(state);
}
void MasterControlPackRelay::masterControlPack_replyCastRequest(qint64 reply)
{
    if (owner)
        owner->masterControlPack_replyCastRequest(reply);
}

// ---------------------------------------------------------------------------
// Start-up

TavlinSDKPrivate::TavlinSDKPrivate(TavlinSDK *owner, TavlinDelegate *appDelegate, TavlinServices allServices)
    : q(owner), delegate(appDelegate), services(std::move(allServices))
{
}

TavlinSDKPrivate::~TavlinSDKPrivate()
{
    for (const QMetaObject::Connection &connection : std::as_const(serviceConnections))
        QObject::disconnect(connection);
    if (connectPack)
        connectPack->relay->owner = nullptr;
    if (masterControlPack)
        masterControlPack->relay->owner = nullptr;
    connectPack.reset();
    masterControlPack.reset();
    updateDeviceListTimer.reset();
    if (deviceManager)
        deviceManager->StopSearch();
    // The library ends here, and the program may end right after it: what
    // the sessions' ends queued for the receiver (the disconnect message, a
    // goodbye) goes to the system now rather than with an event loop that
    // may never run again.
    TavlinGlobal::releaseSockets();
}

void TavlinSDKPrivate::start()
{
    // 1. The delegate is already in place.
    if (services.interfaceAddresses)
        TavlinGlobal::setInterfaceAddresses(services.interfaceAddresses);
    if (services.machineInfo)
        TavlinGlobal::setMachineInfo(services.machineInfo);
    if (services.store)
        settings::setStore(services.store);

    // 2. A client name to show on the receiver.
    if (services.store && !services.store->contains(kClientNameKey))
        services.store->setValue(kClientNameKey, services.userInfo ? services.userInfo->accountName() : QString());

    // 3. The CPU brand picks the screen-capture road later.
    TavlinGlobal::setMacCpuChipBrand(cpuBrandFromText(services.machineInfo ? services.machineInfo->cpuBrand() : QString()));

    // 4. Keep the system from idling while the library runs.
    if (services.activityInhibitor)
        services.activityInhibitor->beginActivity(kActivityReason);

    // 5. The device lists and receiver search.
    lists.clear();
    if (services.search == SearchEndpoints{}
        && services.timings.searchProbeIntervalMs == TavlinTimings{}.searchProbeIntervalMs) {
        deviceManager = &DevicesManager::defaultManager();
    } else {
        ownDeviceManager = std::make_unique<DevicesManager>(services.search, services.timings.searchProbeIntervalMs);
        deviceManager = ownDeviceManager.get();
    }
    isConnected = false;

    // 6. A locked screen ends the session.
    if (services.screenLockMonitor) {
        serviceConnections.append(QObject::connect(services.screenLockMonitor.get(), &Platform::ScreenLockMonitor::locked,
                                                   q, [this] { screenLocked(); }));
        services.screenLockMonitor->start();
    }

    // 7. The network state as it is now, reported before the constructor returns.
    readPrimaryIPv4State();

    // 8. And every change of it.
    if (services.ipv4Monitor) {
        serviceConnections.append(QObject::connect(services.ipv4Monitor.get(), &Platform::PrimaryIPv4Monitor::changed,
                                                   q, [this] { primaryIPv4Changed(); }));
        services.ipv4Monitor->start();
    }

    // 9. Search with its list timer.
    startSearchDevices();
}

// ---------------------------------------------------------------------------
// Search and lists

void TavlinSDKPrivate::startSearchDevices()
{
    const QPointer<TavlinSDK> facade(q);
    deviceManager->StartSearch([facade](const Device &reply) {
        // Merging calls nobody back, so it is safe inside the search's own
        // reading.
        if (facade)
            TavlinSDKPrivate::get(facade.data())->handleSearchReply(reply);
    });
    startDeviceTimer();
}

void TavlinSDKPrivate::stopDeviceSearch()
{
    deviceManager->StopSearch();
    lists.device_list.clear();
    lists.device_update_list.clear();
    lists.deviceListArray.clear();
    lists.tempDeviceListArray.clear();
}

void TavlinSDKPrivate::startDeviceTimer()
{
    if (updateDeviceListTimer)
        return;
    updateDeviceListTimer = std::make_unique<QTimer>();
    updateDeviceListTimer->setTimerType(Qt::CoarseTimer);
    updateDeviceListTimer->setInterval(services.timings.deviceListPruneIntervalMs);
    QObject::connect(updateDeviceListTimer.get(), &QTimer::timeout, q, [this] { pruneDeviceList(); });
    updateDeviceListTimer->start();
}

void TavlinSDKPrivate::stopDeviceTimer()
{
    updateDeviceListTimer.reset();
}

void TavlinSDKPrivate::handleSearchReply(const Device &reply)
{
    lists.merge(reply);
    if (deviceListPublishPending)
        return;
    deviceListPublishPending = true;
    QMetaObject::invokeMethod(q, [this] { publishDeviceList(); }, Qt::QueuedConnection);
}

void TavlinSDKPrivate::publishDeviceList()
{
    if (!deviceListPublishPending)
        return;
    deviceListPublishPending = false;
    if (lists.refresh() && delegate)
        delegate->deviceListChanged(lists.deviceListArray);
}

void TavlinSDKPrivate::pruneDeviceList()
{
    if (lists.prune() && delegate)
        delegate->deviceListChanged(lists.deviceListArray);
}

// ---------------------------------------------------------------------------
// Network, lock, disconnect

void TavlinSDKPrivate::readPrimaryIPv4State()
{
    // Without a way to look, the network counts as there.
    isNetReachable = services.ipv4Monitor ? services.ipv4Monitor->isPrimaryIPv4Present() : true;
    if (!delegate)
        return;
    if (isNetReachable)
        delegate->networkReachable();
    else
        delegate->networkUnreachable();
}

void TavlinSDKPrivate::primaryIPv4Changed()
{
    const bool present = services.ipv4Monitor->isPrimaryIPv4Present();
    if (present && !isNetReachable) {
        isNetReachable = true;
        if (delegate)
            delegate->networkReachable();
    } else if (!present && isNetReachable) {
        isNetReachable = false;
        // The application empties its list now; ours must follow so that the
        // receivers' next replies are reported again.
        lists.clear();
        disconnectWithReason(DisconnectReasonNetworkUnreachable);
        if (delegate)
            delegate->networkUnreachable();
    }
}

void TavlinSDKPrivate::screenLocked()
{
    qInfo().noquote() << "user has locked screen.....";
    disconnectWithReason(DisconnectReasonScreenLocked);
}

void TavlinSDKPrivate::disconnectWithReason(qint64 reason)
{
    if (!TavlinGlobal::getIsConnecting() || !masterControlPack)
        return;
    masterControlPack->get()->disconnectOperator(reason);
}

// ---------------------------------------------------------------------------
// Session objects

template <class Slot>
void TavlinSDKPrivate::retire(std::unique_ptr<Slot> slot)
{
    if (!slot)
        return;
    slot->relay->owner = nullptr;
    std::shared_ptr<Slot> holder(std::move(slot));
    QMetaObject::invokeMethod(q, [holder]() mutable { holder.reset(); }, Qt::QueuedConnection);
}

void TavlinSDKPrivate::endSessionForNewConnect()
{
    if (!masterControlPack)
        return;
    std::unique_ptr<MasterControlPackSlot> old = std::move(masterControlPack);
    // Silenced first: the application chose another connect and hears only
    // of that one.
    old->relay->owner = nullptr;
    if (TavlinGlobal::getIsConnecting()) {
        // As a user's disconnect: the cast stops with the sound and display
        // restored, the receiver is told, and the session's timers and
        // sockets go while its port table, handshake socket and flags are
        // still its own.
        old->get()->disconnectOperator(DisconnectReasonByUser);
    }
    isCasting = false;
    isConnected = false;
    retire(std::move(old));
}

bool TavlinSDKPrivate::startConnect(
    const std::function<bool(ConnectSession &, const std::function<void()> &)> &start)
{
    if (!services.connectSessionFactory)
        return false;
    auto slot = std::make_unique<ConnectPackSlot>();
    slot->relay = std::make_unique<ConnectPackRelay>(this);
    slot->session = services.connectSessionFactory(slot->relay.get());
    if (!slot->session)
        return false;
    const bool started = start(*slot->session, [this] {
        endSessionForNewConnect();
        retire(std::move(connectPack));
    });
    if (!started) {
        // It never began: it goes without a word, and what ran before it
        // runs on.
        slot->relay->owner = nullptr;
        return false;
    }
    connectPack = std::move(slot);
    return true;
}

void TavlinSDKPrivate::replaceMasterControlPack()
{
    if (!services.masterControlSessionFactory)
        return;
    auto slot = std::make_unique<MasterControlPackSlot>();
    slot->relay = std::make_unique<MasterControlPackRelay>(this);
    slot->session = services.masterControlSessionFactory(slot->relay.get());
    if (!slot->session)
        return;
    if (masterControlPack) {
        // The old session ends without a word, its cast with it.
        isCasting = false;
    }
    retire(std::move(masterControlPack));
    masterControlPack = std::move(slot);
    MasterControlSession *session = masterControlPack->get();
    session->startMasterControlPack();
}

AudioDriverOperations *TavlinSDKPrivate::audioDriver()
{
    if (!privilegedTask && services.audioDriverFactory)
        privilegedTask = services.audioDriverFactory();
    return privilegedTask.get();
}

// ---------------------------------------------------------------------------
// Session events

void TavlinSDKPrivate::connectPack_needEnterPwd()
{
    if (delegate)
        delegate->connectDeviceByIpNeedPwd();
}

void TavlinSDKPrivate::connectPack_pwdIncorrect(const TavlinError &error)
{
    if (delegate)
        delegate->connectDeviceWithError(error);
}

void TavlinSDKPrivate::connectPack_connectDeviceCheckSuccess()
{
    replaceMasterControlPack();
    ServerInfo info;
    if (const DevicePtr chosen = TavlinGlobal::getChoseDevice()) {
        info.deviceName = chosen->mDevicename;
        info.deviceIP = chosen->mHostIp;
    }
    if (delegate)
        delegate->connectDeviceSuccess(info);
    isConnected = true;
}

void TavlinSDKPrivate::connectPack_connectDeviceCheckWithError(const TavlinError &error)
{
    if (delegate)
        delegate->connectDeviceWithError(error);
}

void TavlinSDKPrivate::masterControlPack_deviceDidDisconnectWithError(const OptionalTavlinError &error)
{
    if (delegate)
        delegate->deviceDidDisconnectWithError(error);
    isConnected = false;
}

void TavlinSDKPrivate::masterControlPack_castSuccess()
{
    isCasting = true;
    if (delegate)
        delegate->castSuccess();
}

void TavlinSDKPrivate::masterControlPack_castStopWithError(const OptionalTavlinError &error)
{
    if (!isCasting)
        return;
    isCasting = false;
    if (delegate)
        delegate->castStopWithError(error);
}

void TavlinSDKPrivate::masterControlPack_allowFullScreenStateChanged(qint64 state)
{
    if (delegate)
        delegate->allowFullScreenStateChanged(state);
}

void TavlinSDKPrivate::masterControlPack_fullScreenStateChanged(qint64 state)
{
    if (delegate)
        delegate->fullScreenStateChanged(state);
}

void TavlinSDKPrivate::masterControlPack_replyCastRequest(qint64 reply)
{
    if (delegate)
        delegate->replyCastRequest(reply);
}

// ---------------------------------------------------------------------------
// The facade

TavlinSDK::TavlinSDK() : TavlinSDK(nullptr) {}

TavlinSDK::TavlinSDK(TavlinDelegate *delegate)
    : TavlinSDK(delegate, TavlinServices::fromPlatform(Platform::Linux::makePlatformServices()))
{
}

TavlinSDK::TavlinSDK(TavlinDelegate *delegate, TavlinServices services)
    : d(std::make_unique<TavlinSDKPrivate>(this, delegate, std::move(services)))
{
    d->start();
}

TavlinSDK::~TavlinSDK()
{
    // Replaced sessions still waiting to be dropped go now, while the inner
    // state they were made with still exists.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    d.reset();
}

TavlinDelegate *TavlinSDK::delegate() const { return d->delegate; }
void TavlinSDK::setDelegate(TavlinDelegate *delegate) { d->delegate = delegate; }

bool TavlinSDK::setClientName(const QString &name)
{
    if (name.isEmpty() || !d->services.store)
        return false;
    d->services.store->setValue(kClientNameKey, name);
    return true;
}

QString TavlinSDK::getClientName() const
{
    if (d->services.store) {
        const QVariant stored = d->services.store->value(kClientNameKey);
        if (stored.isValid())
            return stored.toString();
    }
    return d->services.userInfo ? d->services.userInfo->accountName() : QString();
}

bool TavlinSDK::isSonvaleInstalled()
{
    AudioDriverOperations *driver = d->audioDriver();
    return driver && driver->isSonvaleInstalled();
}

bool TavlinSDK::installSonvalePlugin()
{
    AudioDriverOperations *driver = d->audioDriver();
    return driver && driver->installSonvalePlugin();
}

bool TavlinSDK::isTavlinAudioInstalled()
{
    AudioDriverOperations *driver = d->audioDriver();
    return driver && driver->isTavlinAudioInstalled();
}

bool TavlinSDK::uninstallTavlinAudio()
{
    AudioDriverOperations *driver = d->audioDriver();
    return driver && driver->uninstallTavlinAudio();
}

bool TavlinSDK::connectDeviceByIp(const QString &ip)
{
    if (ip.isEmpty() || !TavlinGlobal::isValidIPAddress(ip))
        return false;
    return d->startConnect([&ip](ConnectSession &session, const std::function<void()> &whenStarted) {
        return session.connectDeviceByIp(ip, whenStarted);
    });
}

bool TavlinSDK::connectDeviceByIpCheckPwd(const QString &code)
{
    if (code.size() != 6 && code.size() != 8)
        return false;
    if (!scansAsOneInteger(code) && !onlyCapitalLetters(code))
        return false;
    if (d->connectPack)
        d->connectPack->get()->connectDeviceByIpCheckPwd(code);
    return true;
}

bool TavlinSDK::connectDeviceBy6Digits(const QString &code)
{
    if (code.isEmpty() || code.size() != 6 || !scansAsOneInteger(code))
        return false;
    return d->startConnect([&code](ConnectSession &session, const std::function<void()> &whenStarted) {
        return session.connectDeviceByPin(code, whenStarted);
    });
}

bool TavlinSDK::connectDeviceBy8Char(const QString &code)
{
    if (code.size() != 8 || !onlyCapitalLetters(code))
        return false;
    return d->startConnect([&code](ConnectSession &session, const std::function<void()> &whenStarted) {
        return session.connectDeviceByPin(code, whenStarted);
    });
}

void TavlinSDK::disconnectWithDevice()
{
    d->disconnectWithReason(DisconnectReasonByUser);
}

void TavlinSDK::startMirror()
{
    if (TavlinGlobal::getIsConnecting() && d->masterControlPack) {
        d->masterControlPack->get()->startMirror();
        return;
    }
    // Nothing to cast to: the caller hears "no" now rather than waiting for
    // an answer that cannot come.
    qInfo("start mirror without a session: refused");
    if (d->delegate)
        d->delegate->replyCastRequest(0);
}

void TavlinSDK::stopMirror()
{
    if (TavlinGlobal::getIsConnecting() && d->masterControlPack)
        d->masterControlPack->get()->stopMirror();
}

bool TavlinSDK::isCanRecordScreen()
{
    return d->masterControlPack && d->masterControlPack->get()->canRecordScreen();
}

void TavlinSDK::takeAScreenShot()
{
    if (d->masterControlPack)
        d->masterControlPack->get()->showScreenRecordingPrompt();
}

bool TavlinSDK::setPauseCastStatus(qint64 status)
{
    return d->masterControlPack && d->masterControlPack->get()->setPasueCast(status);
}

bool TavlinSDK::setFullScreenStatus(qint64 status)
{
    return d->masterControlPack && d->masterControlPack->get()->fullScreenOperator(status);
}

QString TavlinSDK::getCustomBroadcastString() const
{
    if (d->isConnected && d->connectPack)
        return d->connectPack->get()->getCustomBroadcastStrPack();
    return QString();
}

void TavlinSDK::stopDeviceSearch()
{
    d->stopDeviceSearch();
}

bool TavlinSDK::isCasting() const { return d->isCasting; }
bool TavlinSDK::isConnected() const { return d->isConnected; }
