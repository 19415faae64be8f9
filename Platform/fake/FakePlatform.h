#pragma once

// Test doubles of the platform interfaces. Each records what it was asked and
// answers what the test sets.

#include <QHash>
#include <QList>
#include <functional>

#include "Platform/ActivityInhibitor.h"
#include "Platform/CommandRunner.h"
#include "Platform/InterfaceAddresses.h"
#include "Platform/KeyValueStore.h"
#include "Platform/MachineInfo.h"
#include "Platform/NetworkInterfaceWatch.h"
#include "Platform/PrimaryIPv4Monitor.h"
#include "Platform/RemoteInputConsent.h"
#include "Platform/ScreenCaptureAccess.h"
#include "Platform/ScreenLockMonitor.h"
#include "Platform/UserInfo.h"

namespace Platform::Fake {

class FakeKeyValueStore final : public KeyValueStore {
public:
    bool contains(const QString &key) const override { return values.contains(key); }
    QVariant value(const QString &key) const override { return values.value(key); }
    void setValue(const QString &key, const QVariant &value) override { values.insert(key, value); }
    void remove(const QString &key) override { values.remove(key); }

    QHash<QString, QVariant> values;
};

class FakeUserInfo final : public UserInfo {
public:
    QString accountName() const override { return name; }
    QString homeDirectory() const override { return home; }

    QString name = QStringLiteral("tester");
    QString home = QStringLiteral("/tmp");
};

struct RecordedCommand {
    QString program;
    QStringList arguments;
    QString workingDirectory;
};

class FakeCommandRunner final : public CommandRunner {
public:
    CommandResult run(const QString &program, const QStringList &arguments,
                      const QString &workingDirectory) override
    {
        commands.append({program, arguments, workingDirectory});
        if (handler)
            return handler(program, arguments);
        return result;
    }

    CommandResult result{true, 0, {}};
    std::function<CommandResult(const QString &, const QStringList &)> handler;
    QList<RecordedCommand> commands;
};

class FakeActivityInhibitor final : public ActivityInhibitor {
public:
    bool beginActivity(const QString &reason) override
    {
        reasons.append(reason);
        return available;
    }

    bool available = true;
    QStringList reasons;
};

class FakeScreenLockMonitor final : public ScreenLockMonitor {
public:
    void start() override { ++startCount; }
    void lock() { emit locked(); }

    int startCount = 0;
};

class FakePrimaryIPv4Monitor final : public PrimaryIPv4Monitor {
public:
    bool isPrimaryIPv4Present() override
    {
        ++readCount;
        return present;
    }
    void start() override { ++startCount; }
    // Changes the answer and notifies as the real monitor would.
    void setPresent(bool value)
    {
        present = value;
        emit changed();
    }

    bool present = true;
    int readCount = 0;
    int startCount = 0;
};

class FakeInterfaceAddresses final : public InterfaceAddresses {
public:
    QString mineIPv4Address() override { return ipv4; }
    QByteArray primaryMacAddress() override { return mac; }

    QString ipv4;
    QByteArray mac;
};

class FakeNetworkInterfaceWatch final : public NetworkInterfaceWatch {
public:
    QList<NetworkInterface> interfaces() override
    {
        ++readCount;
        return list;
    }
    void start() override { ++startCount; }
    // Changes the interfaces and notifies as the real watch would.
    void setInterfaces(QList<NetworkInterface> value)
    {
        list = std::move(value);
        emit changed();
    }

    // A meeting-room LAN: an address, no gateway needed.
    QList<NetworkInterface> list{
        NetworkInterface{QStringLiteral("lo"), true, true, {QStringLiteral("127.0.0.1")}},
        NetworkInterface{QStringLiteral("eth0"), true, false, {QStringLiteral("192.168.10.20")}},
    };
    int readCount = 0;
    int startCount = 0;
};

class FakeScreenCaptureAccess final : public ScreenCaptureAccess {
public:
    bool canRecordScreen() override { return allowed; }
    void requestAccess() override { ++requests; }

    bool allowed = true;
    int requests = 0;
};

class FakeMachineInfo final : public MachineInfo {
public:
    QString cpuBrand() override
    {
        ++cpuBrandReads;
        return brand;
    }
    QString model() override { return modelName; }

    QString brand = QStringLiteral("Intel(R) Core(TM) i7-8650U CPU @ 1.90GHz");
    QString modelName;
    int cpuBrandReads = 0;
};

class FakeRemoteInputConsent final : public RemoteInputConsent {
public:
    bool isGiven() const override { return given; }
    void setGiven(bool value) override
    {
        given = value;
        ++writes;
    }

    bool given = false;
    int writes = 0;
};

} // namespace Platform::Fake
