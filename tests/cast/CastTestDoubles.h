#pragma once

// Doubles for the cast session's tests (and the master-control session's):
// a control session that records what it is asked and reports the statuses a
// test makes it report, the factory that makes them, and a delegate that
// records what the cast session says.

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "FakeDisplaySleepInhibitor.h"
#include "FakeSound.h"
#include "MainControl/TLCastPack/CastControlSession.h"
#include "MainControl/TLCastPack/CastPackDelegate.h"
#include "MainControl/TLCastPack/TLCastPack.h"

class FakeCastControl;

struct FakeCastControlLog {
    QStringList events;
    // The controls alive now, oldest first.
    QList<FakeCastControl *> live;
    int made = 0;
    int destroyed = 0;
    QStringList hosts;
};

class FakeCastControl final : public CastControlSession {
public:
    FakeCastControl(std::shared_ptr<FakeCastControlLog> log, int number, const DevicePtr &device)
        : m_log(std::move(log)), m_number(number)
    {
        m_log->hosts.append(device ? device->mHostIp : QString());
        m_log->live.append(this);
        note(QStringLiteral("init"));
    }
    ~FakeCastControl() override
    {
        ++m_log->destroyed;
        m_log->live.removeAll(this);
        note(QStringLiteral("destroyed"));
    }

    void setMonitorCallback(std::function<void(qint32)> callback) override
    {
        note(callback ? QStringLiteral("setMonitorCallback") : QStringLiteral("clearMonitorCallback"));
        m_callback = std::move(callback);
    }
    void startMrror() override { note(QStringLiteral("startMrror")); }
    void stopMirror() override { note(QStringLiteral("stopMirror")); }
    bool isBusy() const override { return busy; }
    void setMirrorPause(bool pause) override
    {
        note(QStringLiteral("setMirrorPause(%1)").arg(pause));
        paused = pause;
    }
    bool getPauseMark() const override { return paused; }

    // Reports a status from the event loop, as the real session does.
    void report(qint32 status)
    {
        std::function<void(qint32)> callback = m_callback;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [callback, status] {
                if (callback)
                    callback(status);
            },
            Qt::QueuedConnection);
    }
    // Reports at once, from inside the caller.
    void reportNow(qint32 status)
    {
        if (m_callback)
            m_callback(status);
    }

    bool busy = true;
    bool paused = false;

private:
    void note(const QString &what) { m_log->events.append(QStringLiteral("control%1.%2").arg(m_number).arg(what)); }

    std::shared_ptr<FakeCastControlLog> m_log;
    int m_number;
    std::function<void(qint32)> m_callback;
};

// Makes FakeCastControls.
class FakeCastControls {
public:
    CastControlFactory factory()
    {
        auto shared = log;
        return [shared](const DevicePtr &device) -> std::unique_ptr<CastControlSession> {
            return std::make_unique<FakeCastControl>(shared, ++shared->made, device);
        };
    }
    // The newest control still alive (it may already be stopped), or none.
    FakeCastControl *last() const { return log->live.isEmpty() ? nullptr : log->live.last(); }
    int alive() const { return static_cast<int>(log->live.size()); }
    QStringList events() const { return log->events; }

    std::shared_ptr<FakeCastControlLog> log = std::make_shared<FakeCastControlLog>();
};

// The outputs of a sound server: a speaker (the user's output), headphones
// and the virtual device.
struct FakeSoundSetup {
    FakeSoundSetup()
    {
        speakers = devices->addOutput(QStringLiteral("alsa_output.speakers"), QStringLiteral("Speakers"));
        headphones = devices->addOutput(QStringLiteral("alsa_output.headphones"), QStringLiteral("Headphones"));
        sonvale = devices->addOutput(QStringLiteral("Sonvale"), QStringLiteral("Sonvale"));
        devices->defaultOutput = speakers.id;
    }
    quint32 current() const { return devices->defaultOutput; }

    std::shared_ptr<Platform::Fake::FakeSoundDevices> devices = std::make_shared<Platform::Fake::FakeSoundDevices>();
    Platform::SoundDevice speakers;
    Platform::SoundDevice headphones;
    Platform::SoundDevice sonvale;
};

struct CastRecorder final : CastPackDelegate {
    void castPack_castSuccess() override { events.append(QStringLiteral("castSuccess")); }
    void castPack_castStopWithError(const OptionalTavlinError &error) override
    {
        events.append(error ? QStringLiteral("castStop(%1,%2)").arg(error->domain).arg(error->code)
                            : QStringLiteral("castStop()"));
        errors.append(error);
        if (during)
            during();
    }
    QStringList events;
    QList<OptionalTavlinError> errors;
    std::function<void()> during;
};
