#include <gtest/gtest.h>

#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"
#include "TavlinSDK.h"

#include <QCoreApplication>

// A production cast is set up through the master-control defaults; if any
// sender maker were missing there, the receiver would get a control session
// and no pictures, sound or input.
TEST(ProductionDefaults, CastsMadeByTheSessionDefaultsCarryEveryRealSender)
{
    const MasterControlServices master = MasterControlServices::linuxDefaults();
    const MirrorSenderFactory &senders = master.cast.rtsp.senders;
    EXPECT_TRUE(senders.makeVideoSession);
    EXPECT_TRUE(senders.makeVideoDisplaySession);
    EXPECT_TRUE(senders.makeAudioSession);
    EXPECT_TRUE(senders.makeRemoteController);
}

// The receiver is told the application's version and build number as the
// application set them before it made the library.
TEST(ProductionDefaults, ClientInformationCarriesTheApplicationsVersionAndBuild)
{
    QCoreApplication *app = QCoreApplication::instance();
    ASSERT_NE(app, nullptr);
    const QString version = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4.1"));

    MasterControlServices master = MasterControlServices::linuxDefaults();
    EXPECT_EQ(master.versionName, QStringLiteral("2.4.1"));
    // Without a build number the version's leading number stands in.
    EXPECT_EQ(master.versionCode, 2);

    app->setProperty(TavlinSDK::ApplicationBuildProperty, QStringLiteral("317"));
    master = MasterControlServices::linuxDefaults();
    EXPECT_EQ(master.versionName, QStringLiteral("2.4.1"));
    EXPECT_EQ(master.versionCode, 317);
    app->setProperty(TavlinSDK::ApplicationBuildProperty, QStringLiteral("58b"));
    EXPECT_EQ(MasterControlServices::linuxDefaults().versionCode, 58);

    app->setProperty(TavlinSDK::ApplicationBuildProperty, QVariant());
    QCoreApplication::setApplicationVersion(version);
}
