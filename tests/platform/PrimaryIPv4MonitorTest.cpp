// The IPv4 watch against the real kernel, inside a network namespace the
// test makes for itself: the test re-runs this program under `unshare -rn`
// and the scenario below drives interfaces, addresses and routes there.

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "LinuxPrimaryIPv4Monitor.h"
#include "NetlinkRoutes.h"
#include "Platform/LinuxPlatform.h"
#include "TestSupport.h"

namespace {

const char kInsideVariable[] = "QUAVDESK_INSIDE_TEST_NETNS";

bool namespacesAvailable()
{
    if (QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty())
        return false;
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-rn"), QStringLiteral("true")});
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

void ip(const QString &arguments)
{
    ASSERT_TRUE(TestSupport::ip(arguments));
}

QByteArray linkAddress(const QString &interfaceName)
{
    QProcess process;
    process.start(QStringLiteral("ip"), {QStringLiteral("-o"), QStringLiteral("link"), QStringLiteral("show"), interfaceName});
    process.waitForFinished(10000);
    const auto match = QRegularExpression(QStringLiteral("link/ether ([0-9a-f:]{17})"))
                           .match(QString::fromLatin1(process.readAllStandardOutput()));
    return match.hasMatch() ? QByteArray::fromHex(match.captured(1).remove(QLatin1Char(':')).toLatin1()) : QByteArray();
}

// Runs `command`, then waits for a change notice and for the expected reading.
void expectAfter(Platform::Linux::NetlinkPrimaryIPv4Monitor &monitor, QSignalSpy &spy, const QString &command,
                 bool present)
{
    const qsizetype before = spy.count();
    ip(command);
    EXPECT_TRUE(TestSupport::waitFor([&] { return spy.count() > before; })) << "no notice after " << qPrintable(command);
    EXPECT_TRUE(TestSupport::waitFor([&] { return monitor.isPrimaryIPv4Present() == present; }))
        << qPrintable(command) << " should leave present=" << present;
}

// Runs one scenario of this file in a fresh namespace of its own.
void runInOwnNamespace(const char *scenario)
{
    if (!TestSupport::requireFacility("unprivileged network namespaces (unshare -rn) and ip", namespacesAvailable()))
        return;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kInsideVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("-rn"), QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=InNamespace.%1").arg(QLatin1String(scenario))});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.")) << output.constData();
}


void PresentFollowsDefaultRouteAndItsAddress()
{
    Platform::Linux::NetlinkPrimaryIPv4Monitor monitor;
    Platform::Linux::NetlinkPrimaryIPv4Monitor idle; // never started: never notifies
    QSignalSpy spy(&monitor, &Platform::PrimaryIPv4Monitor::changed);
    QSignalSpy idleSpy(&idle, &Platform::PrimaryIPv4Monitor::changed);
    EXPECT_FALSE(monitor.isPrimaryIPv4Present());
    monitor.start();
    monitor.start(); // a second start changes nothing

    ip(QStringLiteral("link add q0 type veth peer name q1"));
    ip(QStringLiteral("link set q1 up"));
    expectAfter(monitor, spy, QStringLiteral("link set q0 up"), false);
    // An address without a default route is not a primary network.
    expectAfter(monitor, spy, QStringLiteral("addr add 10.9.8.7/24 dev q0"), false);
    expectAfter(monitor, spy, QStringLiteral("route add default via 10.9.8.1 dev q0"), true);
    EXPECT_EQ(Platform::Linux::Net::defaultRouteInterface(), QStringLiteral("q0"));

    // Losing the address loses the primary network; getting it back restores it.
    expectAfter(monitor, spy, QStringLiteral("addr del 10.9.8.7/24 dev q0"), false);
    ip(QStringLiteral("addr add 10.9.8.7/24 dev q0"));
    expectAfter(monitor, spy, QStringLiteral("route add default via 10.9.8.1 dev q0"), true);
    expectAfter(monitor, spy, QStringLiteral("route del default via 10.9.8.1 dev q0"), false);
    ip(QStringLiteral("route add default via 10.9.8.1 dev q0"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return monitor.isPrimaryIPv4Present(); }));
    // Taking the link down removes its routes.
    expectAfter(monitor, spy, QStringLiteral("link set q0 down"), false);

    TestSupport::spin(50); // for a report that must not come
    EXPECT_EQ(idleSpy.count(), 0);
}

void TheLowestMetricDefaultRouteIsPrimary()
{
    ip(QStringLiteral("link add a0 type veth peer name a1"));
    ip(QStringLiteral("link add b0 type veth peer name b1"));
    for (const char *link : {"a0", "a1", "b0", "b1"})
        ip(QStringLiteral("link set %1 up").arg(QLatin1String(link)));
    ip(QStringLiteral("addr add 10.1.0.5/24 dev a0"));
    ip(QStringLiteral("addr add 10.2.0.5/24 dev b0"));
    ip(QStringLiteral("route add default via 10.1.0.1 dev a0 metric 20"));
    ip(QStringLiteral("route add default via 10.2.0.1 dev b0 metric 10"));

    auto addresses = Platform::Linux::makeInterfaceAddresses();
    EXPECT_EQ(Platform::Linux::Net::defaultRouteInterface(), QStringLiteral("b0"));
    EXPECT_EQ(addresses->mineIPv4Address(), QStringLiteral("10.2.0.5"));
    const QByteArray macB0 = linkAddress(QStringLiteral("b0"));
    ASSERT_EQ(macB0.size(), 6);
    EXPECT_EQ(addresses->primaryMacAddress(), macB0);

    ip(QStringLiteral("route del default via 10.2.0.1 dev b0 metric 10"));
    EXPECT_EQ(Platform::Linux::Net::defaultRouteInterface(), QStringLiteral("a0"));
    EXPECT_EQ(addresses->mineIPv4Address(), QStringLiteral("10.1.0.5"));
    EXPECT_EQ(addresses->primaryMacAddress(), linkAddress(QStringLiteral("a0")));

    // The default route's interface without an address: the first other one.
    ip(QStringLiteral("addr flush dev a0"));
    ip(QStringLiteral("route add default dev a0"));
    EXPECT_EQ(Platform::Linux::Net::defaultRouteInterface(), QStringLiteral("a0"));
    EXPECT_EQ(addresses->mineIPv4Address(), QStringLiteral("10.2.0.5"));
}

void OnlyTheLoopbackMeansNoAddress()
{
    ip(QStringLiteral("link set lo up"));
    auto addresses = Platform::Linux::makeInterfaceAddresses();
    EXPECT_EQ(addresses->mineIPv4Address(), QString());
    EXPECT_EQ(addresses->primaryMacAddress(), QByteArray());
    // Even when the default route leaves by the loop-back.
    ip(QStringLiteral("route add default dev lo"));
    EXPECT_EQ(Platform::Linux::Net::defaultRouteInterface(), QStringLiteral("lo"));
    EXPECT_EQ(addresses->mineIPv4Address(), QString());
}

// The scenarios exist as tests only inside the namespace, so that the suite
// lists each of them once: as the test that makes the namespace.

class NamespaceScenario : public ::testing::Test {
public:
    explicit NamespaceScenario(void (*body)()) : m_body(body) {}
    void TestBody() override { m_body(); }

private:
    void (*m_body)();
};

const bool kScenariosRegistered = [] {
    if (qEnvironmentVariableIsEmpty(kInsideVariable))
        return false;
    const std::pair<const char *, void (*)()> scenarios[] = {
        {"PresentFollowsDefaultRouteAndItsAddress", PresentFollowsDefaultRouteAndItsAddress},
        {"TheLowestMetricDefaultRouteIsPrimary", TheLowestMetricDefaultRouteIsPrimary},
        {"OnlyTheLoopbackMeansNoAddress", OnlyTheLoopbackMeansNoAddress},
    };
    for (const auto &[name, body] : scenarios)
        ::testing::RegisterTest("InNamespace", name, nullptr, nullptr, __FILE__, __LINE__,
                                [body = body]() -> ::testing::Test * { return new NamespaceScenario(body); });
    return true;
}();

} // namespace

TEST(PrimaryIPv4Monitor, PresentFollowsDefaultRouteAndItsAddress)
{
    runInOwnNamespace("PresentFollowsDefaultRouteAndItsAddress");
}

TEST(PrimaryIPv4Monitor, TheLowestMetricDefaultRouteIsPrimary)
{
    runInOwnNamespace("TheLowestMetricDefaultRouteIsPrimary");
}

TEST(PrimaryIPv4Monitor, OnlyTheLoopbackMeansNoAddress)
{
    runInOwnNamespace("OnlyTheLoopbackMeansNoAddress");
}
