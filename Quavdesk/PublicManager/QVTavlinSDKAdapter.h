#pragma once

#include "QVTavlinInterface.h"

#include "TavlinSDK.h"

#include <memory>

// The casting library's facade behind the program's interface. Owns the
// facade; the delegate is detached before the facade goes, so nothing calls
// back into an object that is being destroyed.
class QVTavlinSDKAdapter final : public QVTavlinInterface
{
public:
    QVTavlinSDKAdapter(TavlinDelegate *delegate, TavlinServices services);
    ~QVTavlinSDKAdapter() override;

    TavlinSDK *tavlinSDK() const { return m_sdk.get(); }

    bool isSonvaleInstalled() override { return m_sdk->isSonvaleInstalled(); }
    bool installSonvalePlugin() override { return m_sdk->installSonvalePlugin(); }
    bool isTavlinAudioInstalled() override { return m_sdk->isTavlinAudioInstalled(); }
    bool isCanRecordScreen() override { return m_sdk->isCanRecordScreen(); }
    void takeAScreenShot() override { m_sdk->takeAScreenShot(); }

    bool connectDeviceByIp(const QString &ip) override { return m_sdk->connectDeviceByIp(ip); }
    bool connectDeviceByIpCheckPwd(const QString &code) override { return m_sdk->connectDeviceByIpCheckPwd(code); }
    void disconnectWithDevice() override { m_sdk->disconnectWithDevice(); }
    QString getCustomBroadcastString() const override { return m_sdk->getCustomBroadcastString(); }

    void startMirror() override { m_sdk->startMirror(); }
    void stopMirror() override { m_sdk->stopMirror(); }
    bool setPauseCastStatus(qint64 status) override { return m_sdk->setPauseCastStatus(status); }
    bool setFullScreenStatus(qint64 status) override { return m_sdk->setFullScreenStatus(status); }

    bool isCasting() const override { return m_sdk->isCasting(); }
    bool isConnected() const override { return m_sdk->isConnected(); }

private:
    std::unique_ptr<TavlinSDK> m_sdk;
};
