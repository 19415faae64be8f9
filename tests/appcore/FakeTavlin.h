#pragma once

#include "PublicManager/QVShareManager.h"
#include "PublicManager/QVTavlinInterface.h"

#include "FakePlatform.h"

#include <QStringList>

#include <functional>
#include <memory>

// A facade that records every call in order and answers what the test sets.
// The test plays the library through delegate().
class FakeTavlin final : public QVTavlinInterface
{
public:
    struct Shared {
        QStringList calls;
        TavlinDelegate *delegate = nullptr;
        bool sonvaleInstalled = true;
        bool audioInstalled = true;
        bool canRecordScreen = true;
        bool connectAnswer = true;
        bool checkPwdAnswer = true;
        bool pauseAnswer = true;
        bool fullScreenAnswer = true;
        bool casting = false;
        bool connected = false;
        QString broadcast;
        // Runs inside startMirror, as a library that answers at once would.
        std::function<void()> onStartMirror;
        // Runs inside installSonvalePlugin, as while the password is asked.
        std::function<void()> onInstall;
        int made = 0;
        int destroyed = 0;
    };

    explicit FakeTavlin(std::shared_ptr<Shared> shared) : m(std::move(shared)) {}
    ~FakeTavlin() override
    {
        m->calls.append(QStringLiteral("destroyed"));
        ++m->destroyed;
        m->delegate = nullptr;
    }

    bool isSonvaleInstalled() override { return record(QStringLiteral("isSonvaleInstalled"), m->sonvaleInstalled); }
    bool installSonvalePlugin() override
    {
        m->calls.append(QStringLiteral("installSonvalePlugin"));
        if (m->onInstall)
            m->onInstall();
        return true;
    }
    bool isTavlinAudioInstalled() override { return record(QStringLiteral("isTavlinAudioInstalled"), m->audioInstalled); }
    bool isCanRecordScreen() override { return record(QStringLiteral("isCanRecordScreen"), m->canRecordScreen); }
    void takeAScreenShot() override { m->calls.append(QStringLiteral("takeAScreenShot")); }
    bool connectDeviceByIp(const QString &ip) override
    {
        return record(QStringLiteral("connectDeviceByIp ") + ip, m->connectAnswer);
    }
    bool connectDeviceByIpCheckPwd(const QString &code) override
    {
        return record(QStringLiteral("connectDeviceByIpCheckPwd ") + code, m->checkPwdAnswer);
    }
    void disconnectWithDevice() override { m->calls.append(QStringLiteral("disconnectWithDevice")); }
    QString getCustomBroadcastString() const override
    {
        m->calls.append(QStringLiteral("getCustomBroadcastString"));
        return m->broadcast;
    }
    void startMirror() override
    {
        m->calls.append(QStringLiteral("startMirror"));
        if (m->onStartMirror)
            m->onStartMirror();
    }
    void stopMirror() override { m->calls.append(QStringLiteral("stopMirror")); }
    bool setPauseCastStatus(qint64 status) override
    {
        return record(QStringLiteral("setPauseCastStatus %1").arg(status), m->pauseAnswer);
    }
    bool setFullScreenStatus(qint64 status) override
    {
        return record(QStringLiteral("setFullScreenStatus %1").arg(status), m->fullScreenAnswer);
    }
    bool isCasting() const override { return m->casting; }
    bool isConnected() const override { return m->connected; }

private:
    bool record(const QString &call, bool answer)
    {
        m->calls.append(call);
        return answer;
    }

    std::shared_ptr<Shared> m;
};

// Services of a share manager over a FakeTavlin, with a short reset.
inline QVShareManagerServices fakeServices(const std::shared_ptr<FakeTavlin::Shared> &shared,
                                           const std::shared_ptr<Platform::ScreenCaptureAccess> &capture,
                                           int resetMs = 60)
{
    QVShareManagerServices services;
    services.tavlinFactory = [shared](TavlinDelegate *delegate) -> std::unique_ptr<QVTavlinInterface> {
        shared->delegate = delegate;
        ++shared->made;
        shared->calls.append(QStringLiteral("made"));
        return std::make_unique<FakeTavlin>(shared);
    };
    services.screenCaptureAccess = capture;
    services.timings.disconnectResetMs = resetMs;
    return services;
}
