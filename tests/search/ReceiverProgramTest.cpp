// The emulator as a separate program: found by search, and gone when killed.

#include <QProcess>
#include <gtest/gtest.h>

#include "SearchDevicesFunc/DevicesManager.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

using TestSupport::spin;
using TestSupport::waitFor;

TEST(ReceiverProgram, AnswersSearchUntilKilled)
{
    TavlinGlobal::resetAll();
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(RECEIVER_EMULATOR_PROGRAM),
                  {QStringLiteral("--address"), address.toString(), QStringLiteral("--name"), QStringLiteral("Room \u00c9"),
                   QStringLiteral("--features"), QStringLiteral("100240"), QStringLiteral("--fps"), QStringLiteral("25"),
                   QStringLiteral("--port"), QStringLiteral("9000"), QStringLiteral("--components"), QStringLiteral("search"),
                   QStringLiteral("--search-port"), QStringLiteral("48689")});
    ASSERT_TRUE(program.waitForStarted(10000));
    QByteArray output;
    ASSERT_TRUE(waitFor([&] {
        output += program.readAll();
        return output.contains("receiver emulator ready on " + address.toString().toLatin1());
    }, 20000)) << output.constData();

    SearchEndpoints endpoints;
    endpoints.probeAddresses = {address};
    endpoints.probePort = 48689;
    endpoints.bindAddress = TestSupport::uniqueLoopbackAddress();
    endpoints.bindPort = 0;
    DevicesManager manager(endpoints, 50);
    QList<Device> found;
    manager.StartSearch([&](const Device &device) { found.append(device); });
    ASSERT_TRUE(waitFor([&] { return !found.isEmpty(); }, 10000));
    EXPECT_EQ(found.first().mDevicename, QStringLiteral("Room \u00c9"));
    EXPECT_EQ(found.first().mHostIp, address.toString());
    EXPECT_EQ(found.first().mServer_features, 0x100240);
    EXPECT_EQ(found.first().mFps, 25);
    EXPECT_EQ(found.first().mPort, 9000);

    program.kill();
    ASSERT_TRUE(program.waitForFinished(10000));
    // Its last replies are read; none can follow.
    TestSupport::runPostedEvents();
    found.clear();
    spin(300); // for a reply that must not come
    EXPECT_TRUE(found.isEmpty());
}

TEST(ReceiverProgram, RefusesUnknownComponents)
{
    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(RECEIVER_EMULATOR_PROGRAM),
                  {QStringLiteral("--address"), TestSupport::uniqueLoopbackAddress().toString(),
                   QStringLiteral("--components"), QStringLiteral("search,nonesuch")});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(program.readAll().contains("unknown component: nonesuch"));
}
