// The reachability flag: the mapping of the system's reports, life without a
// backend, and a real backend inside a private network namespace that has no
// route out (the test re-runs itself there).

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "HttpTestSupport.h"
#include "QVHttpError.h"
#include "QVNetWork.h"
#include "QVServiceAddresses.h"
#include "QVWebServiceApi.h"

using namespace HttpTest;

namespace {

const char kChildVariable[] = "QUAVDESK_HTTP_NAMESPACE_CHILD";

bool inNamespaceChild()
{
    return qEnvironmentVariableIsSet(kChildVariable);
}

} // namespace

TEST(NetWork, SystemReportsMapToTheFlag)
{
    using R = QNetworkInformation::Reachability;
    EXPECT_EQ(QVNetWork::verdictFor(R::Disconnected), std::optional<bool>(false));
    EXPECT_EQ(QVNetWork::verdictFor(R::Local), std::optional<bool>(true));
    EXPECT_EQ(QVNetWork::verdictFor(R::Site), std::optional<bool>(true));
    EXPECT_EQ(QVNetWork::verdictFor(R::Online), std::optional<bool>(true));
    EXPECT_EQ(QVNetWork::verdictFor(R::Unknown), std::nullopt);
}

TEST(NetWork, WithoutBackendTheFlagStaysUpUntilSet)
{
    QVNetWork network(QVNetWork::Backend::None);
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

TEST(NetWork, WithABackendTheFlagFollowsTheSystem)
{
    if (inNamespaceChild())
        GTEST_SKIP() << "runs in the parent";
    QVNetWork network(QVNetWork::Backend::Any);
    if (!TestSupport::requireFacility("network-information backend", network.hasBackend()))
        return;
    const auto reachability = QNetworkInformation::instance()->reachability();
    EXPECT_EQ(network.isConnect(), QVNetWork::verdictFor(reachability).value_or(true));
}

// Run by the next test inside a network namespace of its own: only a loopback
// that is down, no route anywhere. Registered only there, so a plain run never
// lists it.
class NoRouteInNamespace : public ::testing::Test {
public:
    void TestBody() override
    {
        SettingsScope settings;
        QVNetWork *network = QVNetWork::shareNetWork();
        ASSERT_TRUE(network->hasBackend());
        EXPECT_EQ(QNetworkInformation::instance()->reachability(), QNetworkInformation::Reachability::Disconnected);
        EXPECT_FALSE(network->isConnect());
        QSettings().setValue(QVServiceAddresses::kWebServiceKey, QStringLiteral("http://127.0.0.1:9"));
        auto outcome = start(std::make_shared<QVGetSeriesWithNameApi>(), Road::WebService);
        ASSERT_TRUE(waitForEnd(outcome));
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->error.code, QVHttpError::NotConnectedToInternet);
    }
};

const bool kNamespaceChildRegistered = [] {
    if (!inNamespaceChild())
        return false;
    ::testing::RegisterTest("NetWorkNamespaceChild", "NoRouteMeansNoNetworkAndNoWebRequest", nullptr, nullptr,
                            __FILE__, __LINE__, []() -> ::testing::Test * { return new NoRouteInNamespace; });
    return true;
}();

TEST(NetWork, InAPrivateNamespaceWithoutRouteTheBackendSaysNoNetwork)
{
    if (inNamespaceChild())
        GTEST_SKIP() << "runs in the parent";
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    const bool canUnshare = !unshare.isEmpty() && QProcess::execute(unshare, {"-rn", "true"}) == 0;
    if (!TestSupport::requireFacility("unprivileged network namespaces", canUnshare))
        return;
    {
        QVNetWork probe(QVNetWork::Backend::Any);
        if (!TestSupport::requireFacility("network-information backend", probe.hasBackend()))
            return;
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kChildVariable, "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(unshare, {"-rn", QCoreApplication::applicationFilePath(),
                          "--gtest_filter=NetWorkNamespaceChild.NoRouteMeansNoNetworkAndNoWebRequest"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[       OK ] NetWorkNamespaceChild"))) << output.toStdString();
}
