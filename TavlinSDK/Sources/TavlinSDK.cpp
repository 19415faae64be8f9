#include "TavlinSDK.h"

#include <QPointer>

class TavlinSDKPrivate {
public:
    TavlinSDKPrivate(TavlinSDK *owner, TavlinDelegate *delegate, TavlinServices services)
        : q(owner), delegate(delegate), services(std::move(services))
    {
    }

    TavlinSDK *q;
    TavlinDelegate *delegate;
    TavlinServices services;
    bool isCasting = false;
    bool isConnected = false;
};

TavlinSDK::TavlinSDK() : TavlinSDK(nullptr) {}

TavlinSDK::TavlinSDK(TavlinDelegate *delegate) : TavlinSDK(delegate, TavlinServices::linuxDefaults()) {}

TavlinSDK::TavlinSDK(TavlinDelegate *delegate, TavlinServices services)
    : d(std::make_unique<TavlinSDKPrivate>(this, delegate, std::move(services)))
{
}

TavlinSDK::~TavlinSDK() = default;

TavlinDelegate *TavlinSDK::delegate() const { return d->delegate; }
void TavlinSDK::setDelegate(TavlinDelegate *delegate) { d->delegate = delegate; }

bool TavlinSDK::setClientName(const QString &) { return false; }
QString TavlinSDK::getClientName() const { return {}; }
bool TavlinSDK::isSonvaleInstalled() { return false; }
bool TavlinSDK::installSonvalePlugin() { return false; }
bool TavlinSDK::isTavlinAudioInstalled() { return false; }
bool TavlinSDK::uninstallTavlinAudio() { return false; }
bool TavlinSDK::connectDeviceByIp(const QString &) { return false; }
bool TavlinSDK::connectDeviceByIpCheckPwd(const QString &) { return false; }
bool TavlinSDK::connectDeviceBy6Digits(const QString &) { return false; }
bool TavlinSDK::connectDeviceBy8Char(const QString &) { return false; }
void TavlinSDK::disconnectWithDevice() {}
void TavlinSDK::startMirror() {}
void TavlinSDK::stopMirror() {}
bool TavlinSDK::isCanRecordScreen() { return false; }
void TavlinSDK::takeAScreenShot() {}
bool TavlinSDK::setPauseCastStatus(qint64) { return false; }
bool TavlinSDK::setFullScreenStatus(qint64) { return false; }
QString TavlinSDK::getCustomBroadcastString() const { return {}; }
void TavlinSDK::stopDeviceSearch() {}
bool TavlinSDK::isCasting() const { return d->isCasting; }
bool TavlinSDK::isConnected() const { return d->isConnected; }
