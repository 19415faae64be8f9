#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "DeviceInformation.h"
#include "ServerInfo.h"
#include "TavlinDelegate.h"
#include "TavlinError.h"
#include "TavlinExport.h"
#include "TavlinServices.h"

class TavlinSDKPrivate;

// The casting library's only public class: one instance per process, driven
// from the main thread. It answers through the TavlinDelegate, which it does
// not own; the owner clears it (setDelegate(nullptr)) before the delegate dies.
class TAVLIN_EXPORT TavlinSDK : public QObject {
    Q_OBJECT
public:
    // The application tells the library its version through
    // QCoreApplication::applicationVersion() and its build number through
    // this dynamic property of the application object; the receiver gets them
    // in the client information (the build number as its leading whole
    // number), read each time a session introduces itself, so they must be
    // set before the program connects.
    static constexpr const char *ApplicationBuildProperty = "applicationBuild";

    TavlinSDK();
    explicit TavlinSDK(TavlinDelegate *delegate);
    // The same start-up with the given system services, timings and destinations.
    TavlinSDK(TavlinDelegate *delegate, TavlinServices services);
    ~TavlinSDK() override;

    TavlinDelegate *delegate() const;
    void setDelegate(TavlinDelegate *delegate);

    bool setClientName(const QString &name);
    QString getClientName() const;

    bool isSonvaleInstalled();
    bool installSonvalePlugin();
    bool isTavlinAudioInstalled();
    bool uninstallTavlinAudio();

    bool connectDeviceByIp(const QString &ip);
    bool connectDeviceByIpCheckPwd(const QString &code);
    bool connectDeviceBy6Digits(const QString &code);
    bool connectDeviceBy8Char(const QString &code);
    void disconnectWithDevice();

    void startMirror();
    void stopMirror();
    bool isCanRecordScreen();
    void takeAScreenShot();
    bool setPauseCastStatus(qint64 status);
    bool setFullScreenStatus(qint64 status);
    QString getCustomBroadcastString() const;
    void stopDeviceSearch();

    bool isCasting() const;
    bool isConnected() const;

private:
    friend class TavlinSDKPrivate;
    std::unique_ptr<TavlinSDKPrivate> d;
};
