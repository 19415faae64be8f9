#include "Utils/TavlinGlobal/TavlinGlobal.h"

// The session values live in one file-level record. Everything touches it from
// the main thread only, so it needs no lock.
namespace {

struct SessionValues {
    DevicePtr choseDevice;
    DevicePtr tempChoseDevice;

    bool isConnecting = false;
    bool isCasting = false;
    bool isPauseCast = false;

    qint64 castMode = -1;
    qint64 multiScreen = -1;
    qint64 mirrorMode = -1;
    qint64 castState = -1;

    bool isSupportMasterCon = false;
    bool isConnectByIp = false;
    bool isConnectByPin = false;
    QString connectPin;
    bool isWindowReceiver = false;
    bool isTvVersion = false;
    bool isSupportDynamicPort = false;
    qint64 serverRotation = 0;
    QString serverPlatform;
    QString macCpuBrand;
    bool isRecasting = false;
    quint32 defaultAudioId = 0;

    QPointer<QObject> searchView;
    QPointer<QObject> onlyWindow;
    QString language;
    bool isKeepAspectRatio = true;
    bool isFirstSearchDevice = false;
    bool isCastAutoAccept = true;
    bool isHostPreview = false;
    bool isAnnotation = false;
    qint64 serverDisconnectCastType = 0;
    qint64 benqAtvVersion = 0;
};

SessionValues &values()
{
    static SessionValues instance;
    return instance;
}

} // namespace

void TavlinGlobal::resetAll()
{
    values() = SessionValues{};
    DynamicPortTable::resetToDefaults();
}

OptionalTavlinError TavlinGlobal::errorForDisconnectReason(qint64 reason)
{
    switch (reason) {
    case DisconnectReasonNetworkUnreachable:
        return TavlinError(QStringLiteral("disconnect for network unreachable"), reason);
    case DisconnectReasonHeartbeatTimeout:
        return TavlinError(QStringLiteral("Heartbeat timeout due to poor network"), reason);
    case DisconnectReasonScreenLocked:
        return TavlinError(QStringLiteral("disconnect due to user lock the screen"), reason);
    default:
        return std::nullopt;
    }
}

DevicePtr TavlinGlobal::getChoseDevice() { return values().choseDevice; }
void TavlinGlobal::setChoseDevice(DevicePtr device) { values().choseDevice = std::move(device); }

void TavlinGlobal::setChoseDeviceName(const QString &name)
{
    if (values().choseDevice)
        values().choseDevice->mDevicename = name;
}

DevicePtr TavlinGlobal::getTempChoseDevice() { return values().tempChoseDevice; }
void TavlinGlobal::setTempChoseDevice(DevicePtr device) { values().tempChoseDevice = std::move(device); }

bool TavlinGlobal::getIsConnecting() { return values().isConnecting; }
void TavlinGlobal::setIsConnecting(bool value) { values().isConnecting = value; }
bool TavlinGlobal::getIsCasting() { return values().isCasting; }
void TavlinGlobal::setIsCasting(bool value) { values().isCasting = value; }
bool TavlinGlobal::getIsPauseCast() { return values().isPauseCast; }
void TavlinGlobal::setIsPauseCast(bool value) { values().isPauseCast = value; }

qint64 TavlinGlobal::getCastMode() { return values().castMode; }
void TavlinGlobal::setCastMode(qint64 value) { values().castMode = value; }
qint64 TavlinGlobal::getMultiScreen() { return values().multiScreen; }
void TavlinGlobal::setMultiScreen(qint64 value) { values().multiScreen = value; }
qint64 TavlinGlobal::getMirrorMode() { return values().mirrorMode; }
void TavlinGlobal::setMirrorMode(qint64 value) { values().mirrorMode = value; }
qint64 TavlinGlobal::getCastState() { return values().castState; }
void TavlinGlobal::setCastState(qint64 value) { values().castState = value; }

bool TavlinGlobal::getIsSupportMasterCon() { return values().isSupportMasterCon; }
void TavlinGlobal::setIsSupportMasterCon(bool value) { values().isSupportMasterCon = value; }
bool TavlinGlobal::getIsConnectByIp() { return values().isConnectByIp; }
void TavlinGlobal::setIsConnectByIp(bool value) { values().isConnectByIp = value; }
bool TavlinGlobal::getIsConnectByPin() { return values().isConnectByPin; }
void TavlinGlobal::setIsConnectByPin(bool value) { values().isConnectByPin = value; }
QString TavlinGlobal::getConnectPin() { return values().connectPin; }
void TavlinGlobal::setConnectPin(const QString &pin) { values().connectPin = pin; }
bool TavlinGlobal::getIsWindowReceiver() { return values().isWindowReceiver; }
void TavlinGlobal::setIsWindowReceiver(bool value) { values().isWindowReceiver = value; }
bool TavlinGlobal::getIsTvVersion() { return values().isTvVersion; }
void TavlinGlobal::setIsTvVersion(bool value) { values().isTvVersion = value; }
bool TavlinGlobal::getIsSupportDynamicPort() { return values().isSupportDynamicPort; }
void TavlinGlobal::setIsSupportDynamicPort(bool value) { values().isSupportDynamicPort = value; }
qint64 TavlinGlobal::getServerRotation() { return values().serverRotation; }
void TavlinGlobal::setServerRotation(qint64 value) { values().serverRotation = value; }
QString TavlinGlobal::getServerPlatform() { return values().serverPlatform; }
void TavlinGlobal::setServerPlatform(const QString &platform) { values().serverPlatform = platform; }
QString TavlinGlobal::getMacCpuChipBrand() { return values().macCpuBrand; }
void TavlinGlobal::setMacCpuChipBrand(const QString &brand) { values().macCpuBrand = brand; }
bool TavlinGlobal::getIsRecasting() { return values().isRecasting; }
void TavlinGlobal::setIsRecasting(bool value) { values().isRecasting = value; }
quint32 TavlinGlobal::getDefaultAudioId() { return values().defaultAudioId; }
void TavlinGlobal::setDefaultAudioId(quint32 id) { values().defaultAudioId = id; }

QObject *TavlinGlobal::getSearchView() { return values().searchView; }
void TavlinGlobal::setSearchView(QObject *view) { values().searchView = view; }
QObject *TavlinGlobal::getOnlyWindow() { return values().onlyWindow; }
void TavlinGlobal::setOnlyWindow(QObject *window)
{
    if (window)
        values().onlyWindow = window;
}
QString TavlinGlobal::getLanguage() { return values().language; }
void TavlinGlobal::setLanguage(const QString &language) { values().language = language; }
bool TavlinGlobal::getIsKeepAspectRatio() { return values().isKeepAspectRatio; }
void TavlinGlobal::setIsKeepAspectRatio(bool value) { values().isKeepAspectRatio = value; }
bool TavlinGlobal::getIsFirstSearchDevice() { return values().isFirstSearchDevice; }
void TavlinGlobal::setIsFirstSearchDevice(bool value) { values().isFirstSearchDevice = value; }
bool TavlinGlobal::getIsCastAutoAccept() { return values().isCastAutoAccept; }
void TavlinGlobal::setIsCastAutoAccept(bool value) { values().isCastAutoAccept = value; }
bool TavlinGlobal::getIsHostPreview() { return values().isHostPreview; }
void TavlinGlobal::setIsHostPreview(bool value) { values().isHostPreview = value; }
bool TavlinGlobal::getIsAnnotation() { return values().isAnnotation; }
void TavlinGlobal::setIsAnnotation(bool value) { values().isAnnotation = value; }
qint64 TavlinGlobal::getServerDisconnectCastType() { return values().serverDisconnectCastType; }
void TavlinGlobal::setServerDisconnectCastType(qint64 value) { values().serverDisconnectCastType = value; }
qint64 TavlinGlobal::getBenqAtvVersion() { return values().benqAtvVersion; }
void TavlinGlobal::setBenqAtvVersion(qint64 value) { values().benqAtvVersion = value; }

bool TavlinGlobal::isSupportMasterCon(qint64 features)
{
    return (features & FeatureBits::kMasterControl) != 0;
}

bool TavlinGlobal::judgePartnerAtv(qint64 features)
{
    qInfo(" judgePartnerAtvVersion feature:%lld", static_cast<long long>(features));
    return (features & FeatureBits::kPartnerAtv) != 0;
}
