#include <QCoreApplication>

#include "FacadeTestRig.h"
#include "LogCapture.h"

TEST_F(FacadeTest, StartupRunsItsStepsInOrder)
{
    bool constructed = false;
    bool reachableDuringConstruction = false;
    delegate.during = [&](const QString &event) {
        if (event == QLatin1String("app.networkReachable"))
            reachableDuringConstruction = !constructed;
    };
    auto facade = makeFacade();
    constructed = true;

    const QStringList expected = {
        QStringLiteral("store.contains TavlinMacClientName"),
        QStringLiteral("store.set TavlinMacClientName=tester"),
        QStringLiteral("machine.cpuBrand"),
        QStringLiteral("activity tavlin cast screen"),
        QStringLiteral("lock.start"),
        QStringLiteral("ipv4.read"),
        QStringLiteral("app.networkReachable"),
        QStringLiteral("ipv4.start"),
    };
    EXPECT_EQ(journal, expected);
    EXPECT_TRUE(reachableDuringConstruction);
    EXPECT_FALSE(facade->isConnected());
    EXPECT_FALSE(facade->isCasting());
    EXPECT_EQ(TavlinGlobal::getMacCpuChipBrand(), QStringLiteral("Intel"));
    // The search and its list timer run.
    TavlinSDKPrivate *d = TavlinSDKPrivate::get(facade.get());
    ASSERT_NE(d->deviceManager, nullptr);
    EXPECT_TRUE(d->deviceManager->isSearching());
    ASSERT_TRUE(d->updateDeviceListTimer);
    EXPECT_TRUE(d->updateDeviceListTimer->isActive());
    // This machine's addresses and model now come from the given sources.
    EXPECT_EQ(TavlinGlobal::getMineIPAddress(), QStringLiteral("192.0.2.77"));
    EXPECT_EQ(TavlinGlobal::machineModel(), QStringLiteral("ThinkPad X1 Carbon"));
    machine->modelName.clear();
    EXPECT_EQ(TavlinGlobal::machineModel(), QStringLiteral("Just an Apple Computer"));
}

TEST_F(FacadeTest, StartupWithoutNetworkSaysSoFromTheConstructor)
{
    ipv4->present = false;
    auto facade = makeFacade();
    EXPECT_EQ(appEvents(), QStringList{"app.networkUnreachable"});
}

TEST_F(FacadeTest, StoredClientNameIsKeptAndAnEmptyOneRefused)
{
    store->values.insert(QStringLiteral("TavlinMacClientName"), QStringLiteral("Meeting laptop"));
    auto facade = makeFacade();
    EXPECT_FALSE(journal.contains(QStringLiteral("store.set TavlinMacClientName=tester")));
    EXPECT_EQ(facade->getClientName(), QStringLiteral("Meeting laptop"));

    EXPECT_FALSE(facade->setClientName(QString()));
    EXPECT_EQ(facade->getClientName(), QStringLiteral("Meeting laptop"));
    EXPECT_TRUE(facade->setClientName(QStringLiteral("Front desk")));
    EXPECT_EQ(store->values.value(QStringLiteral("TavlinMacClientName")).toString(), QStringLiteral("Front desk"));
    EXPECT_EQ(facade->getClientName(), QStringLiteral("Front desk"));

    store->values.clear();
    EXPECT_EQ(facade->getClientName(), QStringLiteral("tester"));
}

TEST_F(FacadeTest, CpuBrandFollowsTheSystemsProcessorName)
{
    struct Case {
        const char *text;
        const char *brand;
    };
    const QList<Case> cases = {
        {"Apple M1", "Apple"},
        {"Intel(R) Xeon(R) CPU", "Intel"},
        {"Apple and Intel", "Apple"},
        {"AMD Ryzen 7 5800X", "unknow"},
        {"", "unknow"},
    };
    for (const Case &c : cases) {
        TavlinGlobal::resetAll();
        machine->brand = QString::fromLatin1(c.text);
        auto facade = makeFacade();
        EXPECT_EQ(TavlinGlobal::getMacCpuChipBrand(), QString::fromLatin1(c.brand)) << c.text;
    }
}

TEST_F(FacadeTest, MissingSystemServicesAreSkipped)
{
    TavlinServices bare = services(false);
    bare.activityInhibitor.reset();
    bare.screenLockMonitor.reset();
    bare.ipv4Monitor.reset();
    bare.machineInfo.reset();
    TavlinSDK facade(&delegate, bare);
    // Without a way to look, the network counts as there.
    EXPECT_EQ(appEvents(), QStringList{"app.networkReachable"});
    EXPECT_EQ(TavlinGlobal::getMacCpuChipBrand(), QStringLiteral("unknow"));
}

TEST_F(FacadeTest, NoDelegateMeansNoCallbacksAndNoHarm)
{
    TavlinSDK facade(nullptr, services());
    EXPECT_EQ(facade.delegate(), nullptr);
    ipv4->setPresent(false);
    ipv4->setPresent(true);
    lockMonitor->lock();
    EXPECT_TRUE(appEvents().isEmpty());
    facade.setDelegate(&delegate);
    EXPECT_EQ(facade.delegate(), &delegate);
    ipv4->setPresent(false);
    EXPECT_EQ(appEvents(), QStringList{"app.networkUnreachable"});
}
