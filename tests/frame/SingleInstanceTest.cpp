// One running program per user: a second start brings the first forward and
// ends; what a crashed first start left behind does not block the next.

#include "Main/App/QVSingleInstance.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

// A name no other test or program run uses.
QString uniqueName(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("instance-") + QUuid::createUuid().toString(QUuid::Id128));
}

} // namespace

TEST(SingleInstanceTest, ASecondStartRaisesTheFirst)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = uniqueName(dir);
    QVSingleInstance first(name);
    QSignalSpy raised(&first, &QVSingleInstance::raiseRequested);
    ASSERT_EQ(first.start(), QVSingleInstance::Role::Primary);

    QVSingleInstance second(name);
    EXPECT_EQ(second.start(), QVSingleInstance::Role::Secondary);
    ASSERT_TRUE(TestSupport::waitFor([&] { return raised.count() == 1; }));

    QVSingleInstance third(name);
    EXPECT_EQ(third.start(), QVSingleInstance::Role::Secondary);
    ASSERT_TRUE(TestSupport::waitFor([&] { return raised.count() == 2; }));

    // Instances under other names never meet.
    QVSingleInstance elsewhere(uniqueName(dir));
    EXPECT_EQ(elsewhere.start(), QVSingleInstance::Role::Primary);
    TestSupport::spin(50); // for a raise that must not come
    EXPECT_EQ(raised.count(), 2);
}

TEST(SingleInstanceTest, WhatACrashedInstanceLeftBehindIsTakenOver)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = uniqueName(dir);
    // A file where the instance's socket would be, with no one behind it.
    QFile stale(name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    QVSingleInstance next(name);
    QSignalSpy raised(&next, &QVSingleInstance::raiseRequested);
    EXPECT_EQ(next.start(), QVSingleInstance::Role::Primary);
    QVSingleInstance later(name);
    EXPECT_EQ(later.start(), QVSingleInstance::Role::Secondary);
    ASSERT_TRUE(TestSupport::waitFor([&] { return raised.count() == 1; }));
}

TEST(SingleInstanceTest, AStartWhileAnotherHoldsTheLockLeavesEvenBeforeTheOtherListens)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = uniqueName(dir);
    // Another start is between asking and listening: it holds the lock and
    // nobody answers under the name yet.
    QLockFile other(QVSingleInstance::lockFilePath(name));
    ASSERT_TRUE(other.tryLock(0));

    QVSingleInstance late(name);
    EXPECT_EQ(late.start(), QVSingleInstance::Role::Secondary);
    // It took nothing over.
    QLocalSocket probe;
    probe.connectToServer(name);
    EXPECT_FALSE(probe.waitForConnected(200));

    // Once the lock is free (its holder gone), a start becomes the first
    // and keeps the lock while it runs.
    other.unlock();
    QVSingleInstance first(name);
    EXPECT_EQ(first.start(), QVSingleInstance::Role::Primary);
    QLockFile again(QVSingleInstance::lockFilePath(name));
    EXPECT_FALSE(again.tryLock(0));
}

TEST(SingleInstanceTest, TheUsersOwnNameLivesInTheUsersRuntimeFolder)
{
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    EXPECT_EQ(QVSingleInstance::defaultName(), QDir(dir.path()).filePath(QStringLiteral("Quavdesk.instance")));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(QVSingleInstance::defaultName().startsWith(QStringLiteral("Quavdesk-")));
    if (!previous.isNull())
        qputenv("XDG_RUNTIME_DIR", previous);
}
