#pragma once

// Doubles for the facade's tests: platform services and session objects that
// write what they are asked into one journal, and a delegate that writes
// every callback there too, so tests can check order across all of them.

#include <QHash>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

#include "AudioDriver/AudioDriverOperations.h"
#include "MainControl/TLConnectPack/ConnectPackDelegate.h"
#include "MainControl/TLConnectPack/ConnectSession.h"
#include "MainControl/TLMasterControlPack/MasterControlPackDelegate.h"
#include "MainControl/TLMasterControlPack/MasterControlSession.h"
#include "Platform/ActivityInhibitor.h"
#include "Platform/CommandRunner.h"
#include "Platform/InterfaceAddresses.h"
#include "Platform/KeyValueStore.h"
#include "Platform/PrimaryIPv4Monitor.h"
#include "Platform/ScreenCaptureAccess.h"
#include "Platform/ScreenLockMonitor.h"
#include "Platform/UserInfo.h"
#include "TavlinDelegate.h"
#include "TavlinServices.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

using Journal = QStringList;

QString describe(const OptionalTavlinError &error);

class JournalStore final : public Platform::KeyValueStore {
public:
    explicit JournalStore(Journal *log) : journal(log) {}
    bool contains(const QString &key) const override;
    QVariant value(const QString &key) const override { return values.value(key); }
    void setValue(const QString &key, const QVariant &value) override;
    void remove(const QString &key) override { values.remove(key); }

    Journal *journal;
    QHash<QString, QVariant> values;
};

class FixedUserInfo final : public Platform::UserInfo {
public:
    QString accountName() const override { return QStringLiteral("tester"); }
    QString homeDirectory() const override { return QStringLiteral("/home/tester"); }
};

class JournalMachineInfo final : public Platform::MachineInfo {
public:
    explicit JournalMachineInfo(Journal *log) : journal(log) {}
    QString cpuBrand() override;
    QString model() override { return modelName; }

    Journal *journal;
    QString brand = QStringLiteral("Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
    QString modelName = QStringLiteral("ThinkPad X1 Carbon");
};

class JournalActivityInhibitor final : public Platform::ActivityInhibitor {
public:
    explicit JournalActivityInhibitor(Journal *log) : journal(log) {}
    bool beginActivity(const QString &reason) override;
    Journal *journal;
};

class JournalScreenLockMonitor final : public Platform::ScreenLockMonitor {
public:
    explicit JournalScreenLockMonitor(Journal *log) : journal(log) {}
    void start() override { journal->append(QStringLiteral("lock.start")); }
    void lock() { emit locked(); }
    Journal *journal;
};

class JournalIPv4Monitor final : public Platform::PrimaryIPv4Monitor {
public:
    explicit JournalIPv4Monitor(Journal *log) : journal(log) {}
    bool isPrimaryIPv4Present() override;
    void start() override { journal->append(QStringLiteral("ipv4.start")); }
    // Changes the answer and notifies, as the real monitor does.
    void setPresent(bool value)
    {
        present = value;
        emit changed();
    }

    Journal *journal;
    bool present = true;
    bool quiet = false;   // leave reads out of the journal
};

class FixedInterfaceAddresses final : public Platform::InterfaceAddresses {
public:
    QString mineIPv4Address() override { return QStringLiteral("192.0.2.77"); }
    QByteArray primaryMacAddress() override { return QByteArray::fromHex("020000000001"); }
};

class FakeConnectSession;
class FakeMasterSession;
class FakeAudioDriver;

// The session objects the facade made, and how they are to answer.
struct SessionBook {
    explicit SessionBook(Journal *log) : journal(log) {}

    Journal *journal;
    bool connectResult = true;
    bool masterResult = true;
    bool canRecord = true;
    QString customString = QStringLiteral("extra info");
    bool failFactory = false;   // factories hand back nothing

    QList<FakeConnectSession *> connects;   // alive, oldest first
    QList<FakeMasterSession *> masters;
    int connectsMade = 0;
    int connectsDestroyed = 0;
    int mastersMade = 0;
    int mastersDestroyed = 0;
    int driversMade = 0;
    bool driverResult = true;

    FakeConnectSession *lastConnect() const { return connects.isEmpty() ? nullptr : connects.last(); }
    FakeMasterSession *lastMaster() const { return masters.isEmpty() ? nullptr : masters.last(); }

    ConnectSessionFactory connectFactory();
    MasterControlSessionFactory masterFactory();
    AudioDriverFactory driverFactory();
};

class FakeConnectSession final : public ConnectSession {
public:
    FakeConnectSession(ConnectPackDelegate *delegate, SessionBook *book);
    ~FakeConnectSession() override;
    bool connectDeviceByIp(const QString &ip, const std::function<void()> &whenStarted = {}) override;
    bool connectDeviceByPin(const QString &code, const std::function<void()> &whenStarted = {}) override;
    void connectDeviceByIpCheckPwd(const QString &code) override;
    QString getCustomBroadcastStrPack() const override { return book->customString; }

    ConnectPackDelegate *delegate;
    SessionBook *book;
};

// Behaves as the real session does towards the facade: starting sets
// isConnecting; a disconnect clears it and reports the reason's error.
class FakeMasterSession final : public MasterControlSession {
public:
    FakeMasterSession(MasterControlPackDelegate *delegate, SessionBook *book);
    ~FakeMasterSession() override;
    bool startMasterControlPack() override;
    void startMirror() override { book->journal->append(QStringLiteral("master.startMirror")); }
    void stopMirror() override { book->journal->append(QStringLiteral("master.stopMirror")); }
    bool setPasueCast(qint64 status) override;
    bool fullScreenOperator(qint64 status) override;
    void disconnectOperator(qint64 reason) override;
    bool canRecordScreen() override { return book->canRecord; }
    void showScreenRecordingPrompt() override { book->journal->append(QStringLiteral("master.prompt")); }

    MasterControlPackDelegate *delegate;
    SessionBook *book;
};

class FakeAudioDriver final : public AudioDriverOperations {
public:
    explicit FakeAudioDriver(SessionBook *owner) : book(owner) {}
    bool isSonvaleInstalled() override { return note("driver.isSonvaleInstalled"); }
    bool installSonvalePlugin() override { return note("driver.installSonvalePlugin"); }
    bool isTavlinAudioInstalled() override { return note("driver.isTavlinAudioInstalled"); }
    bool uninstallTavlinAudio() override { return note("driver.uninstallTavlinAudio"); }

private:
    bool note(const char *what)
    {
        book->journal->append(QString::fromLatin1(what));
        return book->driverResult;
    }
    SessionBook *book;
};

class RecordingDelegate final : public TavlinDelegate {
public:
    explicit RecordingDelegate(Journal *log) : journal(log) {}

    void deviceListChanged(const QList<DeviceInformation> &devices) override;
    void connectDeviceByIpNeedPwd() override { note(QStringLiteral("app.needPwd")); }
    void connectDeviceSuccess(ServerInfo serverInfo) override;
    void connectDeviceWithError(const TavlinError &error) override;
    void deviceDidDisconnectWithError(const OptionalTavlinError &error) override;
    void castSuccess() override { note(QStringLiteral("app.castSuccess")); }
    void castStopWithError(const OptionalTavlinError &error) override;
    void networkReachable() override { note(QStringLiteral("app.networkReachable")); }
    void networkUnreachable() override { note(QStringLiteral("app.networkUnreachable")); }
    void allowFullScreenStateChanged(qint64 state) override;
    void fullScreenStateChanged(qint64 state) override;
    void replyCastRequest(qint64 reply) override;

    // "name@ip" per entry of each list the facade reported.
    QList<QStringList> lists;
    Journal *journal;
    // Runs inside every callback, after it is journaled.
    std::function<void(const QString &event)> during;

private:
    void note(const QString &event);
};
