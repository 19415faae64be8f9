// The reachability flag over the platform's watch of the network interfaces:
// the verdict for the interfaces a test gives through the fake (a LAN
// without a gateway counts), changes as the watch reports them, life without
// a watch, and the real watch inside a private network namespace (the test
// re-runs itself there) where an address on a link without any route makes
// the network.

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "HttpTestSupport.h"
#include "TestSupport.h"
#include "QVHttpError.h"
#include "QVNetWork.h"
#include "QVServiceAddresses.h"
#include "QVWebServiceApi.h"

using namespace HttpTest;
using Platform::NetworkInterface;

namespace {

const char kChildVariable[] = "QUAVDESK_HTTP_NAMESPACE_CHILD";

bool inNamespaceChild()
{
    return qEnvironmentVariableIsSet(kChildVariable);
}

NetworkInterface loopback()
{
    return {QStringLiteral("lo"), true, true, {QStringLiteral("127.0.0.1")}};
}

NetworkInterface lan(bool up = true, QStringList addresses = {QStringLiteral("10.20.30.40")})
{
    return {QStringLiteral("enp3s0"), up, false, std::move(addresses)};
}

void ip(const QString &arguments)
{
    ASSERT_TRUE(TestSupport::ip(arguments));
}

} // namespace

TEST(NetWork, AnAddressOnALinkThatIsUpIsANetworkTheLoopbackIsNot)
{
    using L = QList<NetworkInterface>;
    EXPECT_TRUE(QVNetWork::verdictFor(L{loopback(), lan()}));
    // No gateway is asked for: the meeting room's LAN is enough.
    EXPECT_TRUE(QVNetWork::verdictFor(L{lan(true, {QStringLiteral("169.254.7.9")})}));
    EXPECT_FALSE(QVNetWork::verdictFor(L{}));
    EXPECT_FALSE(QVNetWork::verdictFor(L{loopback()}));
    EXPECT_FALSE(QVNetWork::verdictFor(L{loopback(), lan(false)}));
    EXPECT_FALSE(QVNetWork::verdictFor(L{loopback(), lan(true, {})}));
    // Loop-back addresses count nowhere.
    EXPECT_FALSE(QVNetWork::verdictFor(L{lan(true, {QStringLiteral("127.0.1.1")})}));
    NetworkInterface extraLoopback = loopback();
    extraLoopback.ipv4Addresses << QStringLiteral("10.77.0.1");
    EXPECT_FALSE(QVNetWork::verdictFor(L{extraLoopback}));
}

TEST(NetWork, TheFlagFollowsTheWatchAsItReports)
{
    auto watch = std::make_shared<Platform::Fake::FakeNetworkInterfaceWatch>();
    watch->list = {loopback()};
    QVNetWork network(watch);
    EXPECT_TRUE(network.hasBackend());
    EXPECT_EQ(watch->startCount, 1);
    // The present reading at once.
    EXPECT_FALSE(network.isConnect());

    QSignalSpy changes(&network, &QVNetWork::isConnectChanged);
    watch->setInterfaces({loopback(), lan()});
    EXPECT_TRUE(network.isConnect());
    watch->setInterfaces({loopback(), lan(false)});
    EXPECT_FALSE(network.isConnect());
    // A report without a change says nothing.
    watch->setInterfaces({loopback()});
    ASSERT_EQ(changes.size(), 2);
    EXPECT_TRUE(changes.at(0).at(0).toBool());
    EXPECT_FALSE(changes.at(1).at(0).toBool());
}

TEST(NetWork, WithoutAWatchTheFlagStaysUpUntilSet)
{
    QVNetWork network(nullptr);
    EXPECT_FALSE(network.hasBackend());
    EXPECT_TRUE(network.isConnect());
    QSignalSpy changes(&network, &QVNetWork::isConnectChanged);
    network.setIsConnect(false);
    network.setIsConnect(false);
    network.setIsConnect(true);
    ASSERT_EQ(changes.size(), 2);
    EXPECT_FALSE(changes.at(0).at(0).toBool());
    EXPECT_TRUE(changes.at(1).at(0).toBool());
    // Monitoring again starts from "reachable".
    network.setIsConnect(false);
    network.openNetMonitoring();
    EXPECT_TRUE(network.isConnect());
}

// Run by the next test inside a network namespace of its own, with the
// program's own watch: first nothing but a loopback that is down, then a
// link with an address and no route at all. Registered only there, so a
// plain run never lists it.
class OwnWatchInNamespace : public ::testing::Test {
public:
    void TestBody() override
    {
        SettingsScope settings;
        QVNetWork *network = QVNetWork::shareNetWork();
        ASSERT_TRUE(network->hasBackend());
        EXPECT_FALSE(network->isConnect());
        QSettings().setValue(QVServiceAddresses::kWebServiceKey, QStringLiteral("http://127.0.0.1:9"));
        auto outcome = start(std::make_shared<QVGetSeriesWithNameApi>(), Road::WebService);
        ASSERT_TRUE(waitForEnd(outcome));
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->error.code, QVHttpError::NotConnectedToInternet);

        // The loopback coming up is no network.
        ip(QStringLiteral("link set lo up"));
        TestSupport::spin(100);
        EXPECT_FALSE(network->isConnect());
        // A LAN without a gateway is: the flag follows the kernel's report.
        QSignalSpy changes(network, &QVNetWork::isConnectChanged);
        ip(QStringLiteral("link add m0 type veth peer name m1"));
        ip(QStringLiteral("addr add 192.168.77.5/24 dev m0"));
        ip(QStringLiteral("link set m1 up"));
        ip(QStringLiteral("link set m0 up"));
        EXPECT_TRUE(TestSupport::waitFor([&] { return network->isConnect(); }, 5000));
        EXPECT_EQ(changes.size(), 1);
        // Its link going down takes it away again.
        ip(QStringLiteral("link set m0 down"));
        EXPECT_TRUE(TestSupport::waitFor([&] { return !network->isConnect(); }, 5000));
    }
};

const bool kNamespaceChildRegistered = [] {
    if (!inNamespaceChild())
        return false;
    ::testing::RegisterTest("NetWorkNamespaceChild", "AnAddressWithoutAnyRouteIsANetwork", nullptr, nullptr,
                            __FILE__, __LINE__, []() -> ::testing::Test * { return new OwnWatchInNamespace; });
    return true;
}();

TEST(NetWork, InAPrivateNamespaceTheWatchFollowsTheKernel)
{
    if (inNamespaceChild())
        GTEST_SKIP() << "runs in the parent";
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    const bool canUnshare = !unshare.isEmpty() && !QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty()
                            && QProcess::execute(unshare, {"-rn", "true"}) == 0;
    if (!TestSupport::requireFacility("unprivileged network namespaces and ip", canUnshare))
        return;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kChildVariable, "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(unshare, {"-rn", QCoreApplication::applicationFilePath(),
                          "--gtest_filter=NetWorkNamespaceChild.AnAddressWithoutAnyRouteIsANetwork"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[       OK ] NetWorkNamespaceChild"))) << output.toStdString();
}
