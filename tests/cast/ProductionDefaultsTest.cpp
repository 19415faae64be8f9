#include <gtest/gtest.h>

#include "AudioDriver/AudioDriverInstaller.h"
#include "FakePlatformServices.h"
#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"
#include "Mirror/AudioSession.h"
#include "Mirror/VideoSenderServices.h"
#include "RemoteControl/CursorSession.h"
#include "RemoteControl/RemoteController.h"
#include "TavlinSDK.h"
#include "TavlinServices.h"

#include <QCoreApplication>

// Every part of the library takes the system from the one bundle it is given.
// A part that made its own would give the process a second settings store, a
// second sound-server connection or a second input connection; a sender
// maker missing here would give the receiver a control session and no
// pictures, sound or input.
TEST(ProductionDefaults, EveryPartIsMadeOverTheOneBundle)
{
    Platform::Fake::FakePlatformServices fakes;
    fakes.soundDriverLayout.targetFolder = QStringLiteral("/opt/target of the test/");
    fakes.soundDriverLayout.restartCommand = QStringLiteral("restart the test server");
    const Platform::PlatformServices platform = fakes.services();

    const TavlinServices library = TavlinServices::fromPlatform(platform);
    EXPECT_EQ(library.store, platform.store);
    EXPECT_EQ(library.userInfo, platform.userInfo);
    EXPECT_EQ(library.machineInfo, platform.machineInfo);
    EXPECT_EQ(library.activityInhibitor, platform.activityInhibitor);
    EXPECT_EQ(library.screenLockMonitor, platform.screenLockMonitor);
    EXPECT_EQ(library.ipv4Monitor, platform.ipv4Monitor);
    EXPECT_EQ(library.interfaceAddresses, platform.interfaceAddresses);
    EXPECT_EQ(library.screenCaptureAccess, platform.screenCaptureAccess);
    EXPECT_TRUE(library.connectSessionFactory);
    EXPECT_TRUE(library.masterControlSessionFactory);

    const MasterControlServices master = MasterControlServices::fromPlatform(platform);
    EXPECT_EQ(master.store, platform.store);
    EXPECT_EQ(master.screenCaptureAccess, platform.screenCaptureAccess);
    EXPECT_EQ(master.cast.soundDevices, platform.soundDevices);
    EXPECT_EQ(master.cast.displaySleepInhibitor, platform.displaySleepInhibitor);
    EXPECT_EQ(master.cast.rtsp.store, platform.store);
    EXPECT_EQ(master.cast.rtsp.userInfo, platform.userInfo);
    const MirrorSenderFactory &senders = master.cast.rtsp.senders;
    EXPECT_TRUE(senders.makeMedia);
    EXPECT_TRUE(senders.makeRemoteController);

    const RemoteControllerServices input = RemoteControllerServices::fromPlatform(platform);
    EXPECT_EQ(input.injector, platform.inputInjector);
    EXPECT_EQ(input.keyboardLayout, platform.keyboardLayout);
    EXPECT_EQ(input.store, platform.store);
    EXPECT_EQ(input.consent, platform.remoteInputConsent);
    EXPECT_EQ(CursorSessionServices::fromPlatform(platform).injector, platform.inputInjector);

    const AudioSessionServices sound = AudioSessionServices::fromPlatform(platform);
    EXPECT_EQ(sound.devices, platform.soundDevices);
    ASSERT_TRUE(sound.makeSoundSource);
    EXPECT_NE(sound.makeSoundSource(), nullptr);
    const VideoSenderServices video = VideoSenderServices::fromPlatform(platform);
    ASSERT_TRUE(video.makeScreenSource && video.makeEncoder);
    EXPECT_NE(video.makeScreenSource(), nullptr);
    EXPECT_NE(video.makeEncoder(), nullptr);

    // The facade's installer of the virtual sound device.
    ASSERT_TRUE(library.audioDriverFactory);
    const std::unique_ptr<AudioDriverOperations> operations = library.audioDriverFactory();
    const auto *installer = dynamic_cast<AudioDriverInstaller *>(operations.get());
    ASSERT_NE(installer, nullptr);
    const AudioDriverServices &driver = installer->services();
    EXPECT_EQ(driver.devices, platform.soundDevices);
    EXPECT_EQ(driver.zipExtractor, platform.zipExtractor);
    EXPECT_EQ(driver.commandRunner, platform.commandRunner);
    ASSERT_TRUE(driver.makePrivilegedRunner);
    EXPECT_EQ(driver.makePrivilegedRunner(), platform.privilegedRunner);
    EXPECT_EQ(driver.layout.targetFolder, QStringLiteral("/opt/target of the test/"));
    EXPECT_EQ(driver.layout.restartCommand, QStringLiteral("restart the test server"));
    EXPECT_TRUE(driver.archive.isEmpty()); // the library's own resource
}

// The receiver is told the application's version and build number as the
// application has set them when the information is sent, also when it set
// them after the library's services were made.
TEST(ProductionDefaults, ClientInformationCarriesTheApplicationsVersionAndBuild)
{
    QCoreApplication *app = QCoreApplication::instance();
    ASSERT_NE(app, nullptr);
    const MasterControlServices master = MasterControlServices::fromPlatform(Platform::Fake::FakePlatformServices().services());
    EXPECT_FALSE(master.versionName.has_value());
    EXPECT_FALSE(master.versionCode.has_value());

    const QString version = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4.1"));
    EXPECT_EQ(master.currentVersionName(), QStringLiteral("2.4.1"));
    // Without a build number the version's leading number stands in.
    EXPECT_EQ(master.currentVersionCode(), 2);

    app->setProperty(TavlinSDK::ApplicationBuildProperty, QStringLiteral("317"));
    EXPECT_EQ(master.currentVersionName(), QStringLiteral("2.4.1"));
    EXPECT_EQ(master.currentVersionCode(), 317);
    app->setProperty(TavlinSDK::ApplicationBuildProperty, QStringLiteral("58b"));
    EXPECT_EQ(master.currentVersionCode(), 58);
    app->setProperty(TavlinSDK::ApplicationBuildProperty, 4096);
    EXPECT_EQ(master.currentVersionCode(), 4096);

    app->setProperty(TavlinSDK::ApplicationBuildProperty, QVariant());
    QCoreApplication::setApplicationVersion(version);
}
