#pragma once

#include <QString>
#include <QtGlobal>

// The casting library's operations that the program uses. The share manager
// holds one; production wraps the library's facade, tests use a fake.
class QVTavlinInterface
{
public:
    virtual ~QVTavlinInterface() = default;

    virtual bool isSonvaleInstalled() = 0;
    virtual bool installSonvalePlugin() = 0;
    virtual bool isTavlinAudioInstalled() = 0;
    virtual bool isCanRecordScreen() = 0;
    virtual void takeAScreenShot() = 0;

    virtual bool connectDeviceByIp(const QString &ip) = 0;
    virtual bool connectDeviceByIpCheckPwd(const QString &code) = 0;
    virtual void disconnectWithDevice() = 0;
    virtual QString getCustomBroadcastString() const = 0;

    virtual void startMirror() = 0;
    virtual void stopMirror() = 0;
    virtual bool setPauseCastStatus(qint64 status) = 0;
    virtual bool setFullScreenStatus(qint64 status) = 0;

    virtual bool isCasting() const = 0;
    virtual bool isConnected() const = 0;
};
