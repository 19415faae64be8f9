#include <QCoreApplication>
#include <gtest/gtest.h>

#include "FakeScreenSaver.h"
#include "PrivateSessionBus.h"
#include "ScreenSaverDisplaySleepInhibitor.h"
#include "TestSupport.h"

using Platform::Linux::ScreenSaverDisplaySleepInhibitor;

namespace {

QString who()
{
    return QCoreApplication::applicationName().isEmpty() ? QStringLiteral("Tavlin")
                                                         : QCoreApplication::applicationName();
}

} // namespace

TEST(DisplaySleepInhibitor, InhibitsThroughTheScreenSaverAndGivesEachCookieBack)
{
    TestSupport::PrivateSessionBus bus;
    if (!TestSupport::requireBus(bus))
        return;
    FakeScreenSaverService service(bus.address);
    ASSERT_TRUE(service.publish());

    auto inhibitor = std::make_unique<ScreenSaverDisplaySleepInhibitor>(bus.connect(QStringLiteral("inhibitor")));
    // The service's first cookie is 0; ours are never 0.
    const quint32 first = inhibitor->inhibit(QStringLiteral("Velmora is casting"));
    const quint32 second = inhibitor->inhibit(QStringLiteral("Velmora is casting"));
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(inhibitor->heldInhibitions(), 2);
    EXPECT_EQ(service.saver.active(), (QList<uint>{0, 1}));

    inhibitor->release(second);
    inhibitor->release(second); // once only
    inhibitor->release(0);
    inhibitor->release(4711);
    ASSERT_TRUE(TestSupport::waitFor([&] { return service.saver.active() == QList<uint>{0}; }));
    // Whatever is still held goes with the inhibitor.
    inhibitor.reset();
    ASSERT_TRUE(TestSupport::waitFor([&] { return service.saver.active().isEmpty(); }));
    TestSupport::spin(50); // for a call that must not come
    EXPECT_EQ(service.saver.calls(),
              (QStringList{QStringLiteral("Inhibit %1|Velmora is casting").arg(who()),
                           QStringLiteral("Inhibit %1|Velmora is casting").arg(who()), QStringLiteral("UnInhibit 1"),
                           QStringLiteral("UnInhibit 0")}));
}

TEST(DisplaySleepInhibitor, RefusalMissingServiceOrBusGiveNoInhibition)
{
    ScreenSaverDisplaySleepInhibitor withoutBus{QDBusConnection(QStringLiteral("never-connected"))};
    EXPECT_EQ(withoutBus.inhibit(QStringLiteral("Velmora is casting")), 0u);

    TestSupport::PrivateSessionBus bus;
    if (!TestSupport::requireBus(bus))
        return;
    {
        ScreenSaverDisplaySleepInhibitor nobody(bus.connect(QStringLiteral("nobody")), 2000);
        EXPECT_EQ(nobody.inhibit(QStringLiteral("Velmora is casting")), 0u);
        EXPECT_EQ(nobody.heldInhibitions(), 0);
    }
    FakeScreenSaverService service(bus.address);
    service.saver.refuse = true;
    ASSERT_TRUE(service.publish());
    ScreenSaverDisplaySleepInhibitor refused(bus.connect(QStringLiteral("refused")));
    EXPECT_EQ(refused.inhibit(QStringLiteral("Velmora is casting")), 0u);
    EXPECT_EQ(refused.heldInhibitions(), 0);
}
