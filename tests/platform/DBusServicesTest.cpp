#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "FakeLogin.h"
#include "LinuxActivityInhibitor.h"
#include "LinuxScreenLockMonitor.h"
#include "Platform/LinuxPlatform.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"

namespace {

using TestSupport::PrivateSessionBus;

// A connection of its own that can own a name and emit signals from it.
struct Emitter {
    Emitter(PrivateSessionBus &bus, const QString &connectionName) : connection(bus.connect(connectionName)) {}
    void emitSignal(const QString &path, const QString &interface, const QString &member, const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, member);
        message.setArguments(arguments);
        ASSERT_TRUE(connection.send(message));
    }
    QDBusConnection connection;
};

QDBusConnection disconnectedBus()
{
    return QDBusConnection(QStringLiteral("never-connected"));
}

} // namespace

TEST(ScreenLockMonitor, ScreenSaverActivationsAreLocks)
{
    PrivateSessionBus bus;
    if (!TestSupport::requireBus(bus))
        return;
    Emitter freedesktop(bus, QStringLiteral("fake-freedesktop-screensaver"));
    Emitter gnome(bus, QStringLiteral("fake-gnome-screensaver"));
    Emitter stranger(bus, QStringLiteral("stranger"));
    ASSERT_TRUE(freedesktop.connection.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    ASSERT_TRUE(gnome.connection.registerService(QStringLiteral("org.gnome.ScreenSaver")));

    Platform::Linux::DBusScreenLockMonitor monitor(bus.connect(QStringLiteral("monitor")), disconnectedBus());
    QSignalSpy locked(&monitor, &Platform::ScreenLockMonitor::locked);
    monitor.start();
    monitor.start(); // one subscription only

    freedesktop.emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                           QStringLiteral("ActiveChanged"), {true});
    ASSERT_TRUE(TestSupport::waitFor([&] { return locked.count() == 1; }));
    // KDE's path for the same interface.
    freedesktop.emitSignal(QStringLiteral("/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                           QStringLiteral("ActiveChanged"), {true});
    ASSERT_TRUE(TestSupport::waitFor([&] { return locked.count() == 2; }));
    gnome.emitSignal(QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
                     QStringLiteral("ActiveChanged"), {true});
    ASSERT_TRUE(TestSupport::waitFor([&] { return locked.count() == 3; }));

    // Unlocking, a stranger without the name, and other members are no locks.
    freedesktop.emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                           QStringLiteral("ActiveChanged"), {false});
    stranger.emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                        QStringLiteral("ActiveChanged"), {true});
    freedesktop.emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                           QStringLiteral("WakeUpScreen"));
    // A marker after them, so that waiting for it covers their delivery.
    gnome.emitSignal(QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
                     QStringLiteral("ActiveChanged"), {true});
    ASSERT_TRUE(TestSupport::waitFor([&] { return locked.count() >= 4; }));
    TestSupport::spin(100); // for a report that must not come
    EXPECT_EQ(locked.count(), 4);
}

TEST(ScreenLockMonitor, LogindLockOfOwnSessionOnly)
{
    PrivateSessionBus bus;
    if (!TestSupport::requireBus(bus))
        return;
    FakeLoginService login(bus.address);
    ASSERT_TRUE(login.publish());
    Emitter other(bus, QStringLiteral("other-login-sender"));

    // The private bus stands in for the system bus here.
    Platform::Linux::DBusScreenLockMonitor monitor(disconnectedBus(), bus.connect(QStringLiteral("monitor")));
    QSignalSpy locked(&monitor, &Platform::ScreenLockMonitor::locked);
    monitor.start();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !monitor.watchedSessionPath().isEmpty(); }));
    EXPECT_EQ(monitor.watchedSessionPath(), QStringLiteral("/org/freedesktop/login1/session/_31"));
    EXPECT_EQ(login.manager.calls(), QStringList{QStringLiteral("GetSessionByPID %1").arg(::getpid())});

    auto lock = [&](const QString &path, QDBusConnection &from) {
        QDBusMessage message = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.login1.Session"),
                                                          QStringLiteral("Lock"));
        from.send(message);
    };
    lock(QStringLiteral("/org/freedesktop/login1/session/_99"), login.connection); // someone else's session
    lock(QStringLiteral("/org/freedesktop/login1/session/_31"), other.connection); // not logind
    lock(QStringLiteral("/org/freedesktop/login1/session/_31"), login.connection);
    ASSERT_TRUE(TestSupport::waitFor([&] { return locked.count() >= 1; }));
    TestSupport::spin(100); // for a report that must not come
    EXPECT_EQ(locked.count(), 1);
}

TEST(ScreenLockMonitor, ProcessOutsideASessionFallsBackToTheSeatSession)
{
    PrivateSessionBus bus;
    if (!TestSupport::requireBus(bus))
        return;
    FakeLoginService login(bus.address);
    login.manager.sessionByPid.clear();
    ASSERT_TRUE(login.publish());
    Platform::Linux::DBusScreenLockMonitor monitor(disconnectedBus(), bus.connect(QStringLiteral("monitor")));
    QSignalSpy locked(&monitor, &Platform::ScreenLockMonitor::locked);
    monitor.start();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !monitor.watchedSessionPath().isEmpty(); }));
    EXPECT_EQ(monitor.watchedSessionPath(), QStringLiteral("/org/freedesktop/login1/session/_32"));
    EXPECT_EQ(login.manager.calls().value(1), QStringLiteral("GetSession auto"));
    login.connection.send(QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1/session/_32"),
                                                     QStringLiteral("org.freedesktop.login1.Session"),
                                                     QStringLiteral("Lock")));
    EXPECT_TRUE(TestSupport::waitFor([&] { return locked.count() == 1; }));
}

TEST(ScreenLockMonitor, NoBusesAndNoLogindMeanNoLocksAndNoCrash)
{
    Platform::Linux::DBusScreenLockMonitor monitor(disconnectedBus(), disconnectedBus());
    QSignalSpy locked(&monitor, &Platform::ScreenLockMonitor::locked);
    monitor.start();
    TestSupport::spin(50); // for a report that must not come
    EXPECT_EQ(locked.count(), 0);

    PrivateSessionBus bus;
    if (!TestSupport::requireBus(bus))
        return;
    // A bus without logind: both look-ups fail, the monitor stays quiet.
    Platform::Linux::DBusScreenLockMonitor lonely(disconnectedBus(), bus.connect(QStringLiteral("monitor")));
    lonely.start();
    TestSupport::spin(300); // the look-ups fail meanwhile; no session may be watched
    EXPECT_TRUE(lonely.watchedSessionPath().isEmpty());
}

TEST(ActivityInhibitor, HoldsTheLogindBlockForItsWholeLife)
{
    PrivateSessionBus bus;
    if (!TestSupport::requireBus(bus))
        return;
    std::signal(SIGPIPE, SIG_IGN);
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK), 0);
    FakeLoginService login(bus.address);
    login.manager.inhibitReadEnd = pipeEnds[0];
    ASSERT_TRUE(login.publish());

    auto inhibitor = std::make_unique<Platform::Linux::LogindActivityInhibitor>(bus.connect(QStringLiteral("inhibitor")));
    ASSERT_TRUE(inhibitor->beginActivity(QStringLiteral("tavlin cast screen")));
    EXPECT_EQ(inhibitor->heldInhibitors(), 1);
    EXPECT_EQ(login.manager.calls(),
              QStringList{QStringLiteral("Inhibit idle|%1|tavlin cast screen|block").arg(QCoreApplication::applicationName())});

    // Only the inhibitor's copy keeps the block alive once ours is gone.
    ::close(pipeEnds[0]);
    login.manager.inhibitReadEnd = -1;
    TestSupport::spin(100); // for a let-go that must not come
    EXPECT_EQ(::write(pipeEnds[1], "x", 1), 1) << "the inhibitor let go of its block";
    inhibitor.reset();
    EXPECT_TRUE(TestSupport::waitFor([&] { return ::write(pipeEnds[1], "x", 1) < 0 && errno == EPIPE; }))
        << "the block outlived its holder";
    ::close(pipeEnds[1]);
}

TEST(ActivityInhibitor, RefusalOrNoBusIsReportedAndNotFatal)
{
    Platform::Linux::LogindActivityInhibitor withoutBus(disconnectedBus());
    EXPECT_FALSE(withoutBus.beginActivity(QStringLiteral("tavlin cast screen")));
    EXPECT_FALSE(withoutBus.beginActivity(QStringLiteral("tavlin cast screen")));
    EXPECT_EQ(withoutBus.heldInhibitors(), 0);

    PrivateSessionBus bus;
    if (!TestSupport::requireBus(bus))
        return;
    {
        // No logind on the bus at all.
        Platform::Linux::LogindActivityInhibitor nobody(bus.connect(QStringLiteral("nobody")), 2000);
        EXPECT_FALSE(nobody.beginActivity(QStringLiteral("tavlin cast screen")));
    }
    FakeLoginService login(bus.address); // refuses: no descriptor to hand out
    ASSERT_TRUE(login.publish());
    Platform::Linux::LogindActivityInhibitor refused(bus.connect(QStringLiteral("refused")));
    EXPECT_FALSE(refused.beginActivity(QStringLiteral("tavlin cast screen")));
    EXPECT_EQ(refused.heldInhibitors(), 0);
}

TEST(ActivityInhibitor, RealFactoryWithoutASystemBusDegrades)
{
    // Each test runs in a process of its own, so the system bus connection is
    // made here for the first time, towards an address where nothing listens.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/quavdesk-test/system_bus_socket");
    if (QDBusConnection::systemBus().isConnected())
        GTEST_SKIP() << "a system bus connection already existed in this process";
    auto inhibitor = Platform::Linux::makeActivityInhibitor();
    EXPECT_FALSE(inhibitor->beginActivity(QStringLiteral("tavlin cast screen")));
    auto monitor = Platform::Linux::makeScreenLockMonitor();
    monitor->start();
    TestSupport::spin(20); // the failing look-ups run meanwhile, and must not crash
}
