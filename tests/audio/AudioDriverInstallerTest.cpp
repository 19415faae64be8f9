// The virtual sound device's installation, over a fake administrator shell,
// a fake zip extractor and a fake sound server.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "AudioDriver/AudioDriverInstaller.h"
#include "AudioTestSupport.h"
#include "FakePlatform.h"
#include "FakeSound.h"
#include "Platform/LinuxServices.h"
#include "TavlinServices.h"

namespace {

using Platform::Fake::FakeCommandRunner;
using Platform::Fake::FakePrivilegedRunner;
using Platform::Fake::FakeSoundDevices;
using Platform::Fake::FakeZipExtractor;

class AudioDriverInstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        // A home folder and a system folder with spaces and a quote in them.
        home = root.filePath(QStringLiteral("home of o'neil"));
        target = root.filePath(QStringLiteral("system plug-ins")) + QLatin1Char('/');
        ASSERT_TRUE(QDir().mkpath(home));
        devices->outputs.clear();
        devices->addOutput(QStringLiteral("Speakers"));
    }

    AudioDriverServices services()
    {
        AudioDriverServices result;
        result.devices = devices;
        result.makePrivilegedRunner = [this] {
            ++runnersMade;
            return runner;
        };
        result.zipExtractor = zip;
        result.commandRunner = commands;
        result.layout.stagingFolder = QDir(home).filePath(QStringLiteral(".local/share/ZOM"));
        result.layout.targetFolder = target;
        result.layout.restartCommand = QStringLiteral("restart the sound server");
        result.layout.serverHooks = {
            {QStringLiteral("pulse/Sonvale.pa"), root.filePath(QStringLiteral("pulse drop-in")), QStringLiteral("Sonvale.pa")},
        };
        result.timings.deviceWaitMs = 300;
        result.timings.devicePollMs = 5;
        return result;
    }

    // The device shows up at the n-th listing after the restart.
    void deviceAppearsAtListing(int n)
    {
        devices->onCaptureList = [this, n](int count) {
            if (count == n)
                devices->captures.append({99, QStringLiteral("Echovane"), QStringLiteral("Echovane"),
                                          QStringLiteral("Echovane:0")});
        };
    }

    QString staged() const { return QDir(home).filePath(QStringLiteral(".local/share/ZOM/Sonvale.driver")); }
    QString bundle() const { return target + QStringLiteral("Sonvale.driver"); }
    static QString q(const QString &path) { return AudioDriverInstaller::shellQuote(path); }

    QTemporaryDir root;
    QString home;
    QString target;
    std::shared_ptr<FakeSoundDevices> devices = std::make_shared<FakeSoundDevices>();
    std::shared_ptr<FakePrivilegedRunner> runner = std::make_shared<FakePrivilegedRunner>();
    std::shared_ptr<FakeZipExtractor> zip = std::make_shared<FakeZipExtractor>();
    std::shared_ptr<FakeCommandRunner> commands = std::make_shared<FakeCommandRunner>();
    int runnersMade = 0;
};

TEST_F(AudioDriverInstallerTest, APresentDeviceNeedsNoRights)
{
    devices->addOutput(QStringLiteral("Sonvale"));
    AudioDriverInstaller installer(services());
    EXPECT_TRUE(installer.isSonvaleInstalled());
    EXPECT_TRUE(installer.installSonvalePlugin());
    EXPECT_EQ(runnersMade, 0);
    EXPECT_TRUE(runner->commands.isEmpty());
    EXPECT_TRUE(zip->archives.isEmpty());
    EXPECT_FALSE(installer.isTavlinAudioInstalled());
    devices->addOutput(QStringLiteral("TavlinAudio"));
    EXPECT_TRUE(installer.isTavlinAudioInstalled());
}

TEST_F(AudioDriverInstallerTest, TheInstallUnpacksMovesHooksRestartsAndWaitsForTheDevice)
{
    deviceAppearsAtListing(3);
    AudioDriverInstaller installer(services());
    EXPECT_FALSE(installer.isSonvaleInstalled());
    ASSERT_TRUE(installer.installSonvalePlugin());

    // The library's own archive, unpacked into the staging folder.
    ASSERT_EQ(zip->archives.size(), 1);
    EXPECT_TRUE(zip->archives[0].startsWith("PK\x03\x04"));
    EXPECT_EQ(zip->destinations[0], QDir(home).filePath(QStringLiteral(".local/share/ZOM")));

    const QString dropIn = root.filePath(QStringLiteral("pulse drop-in"));
    const QStringList expected{
        QStringLiteral("mkdir -p ") + q(target),
        QStringLiteral("mv -f ") + q(staged()) + QLatin1Char(' ') + q(bundle()),
        QStringLiteral("mkdir -p ") + q(dropIn) + QStringLiteral(" && ln -sf ") + q(bundle() + QStringLiteral("/pulse/Sonvale.pa"))
            + QLatin1Char(' ') + q(dropIn + QStringLiteral("/Sonvale.pa")),
    };
    EXPECT_EQ(runner->commands, expected);
    EXPECT_EQ(runnersMade, 1);

    // The restart runs as the user, and the wait ended when the device came.
    ASSERT_EQ(commands->commands.size(), 1);
    EXPECT_EQ(commands->commands[0].program, QStringLiteral("/bin/sh"));
    EXPECT_EQ(commands->commands[0].arguments,
              (QStringList{QStringLiteral("-c"), QStringLiteral("restart the sound server")}));
    EXPECT_EQ(devices->captureListCount, 3);
}

TEST_F(AudioDriverInstallerTest, AnExistingBundleIsRemovedBeforeTheNewOneMovesIn)
{
    ASSERT_TRUE(QDir().mkpath(bundle()));
    deviceAppearsAtListing(1);
    AudioDriverInstaller installer(services());
    ASSERT_TRUE(installer.installHALAudio());
    ASSERT_GE(runner->commands.size(), 2);
    // The target folder exists: no mkdir.
    EXPECT_EQ(runner->commands[0], QStringLiteral("rm -r ") + q(bundle()));
    EXPECT_EQ(runner->commands[1], QStringLiteral("mv -f ") + q(staged()) + QLatin1Char(' ') + q(bundle()));
}

TEST_F(AudioDriverInstallerTest, RefusedRightsEndTheInstallAndItIsTriedOnceMore)
{
    runner->result = {false, -1, {}};
    AudioDriverInstaller installer(services());
    EXPECT_FALSE(installer.installSonvalePlugin());
    EXPECT_EQ(zip->archives.size(), 2);
    EXPECT_EQ(runner->commands, (QStringList{QStringLiteral("mkdir -p ") + q(target), QStringLiteral("mkdir -p ") + q(target)}));
    EXPECT_EQ(runnersMade, 1); // one administrator shell, kept
    EXPECT_TRUE(commands->commands.isEmpty());
}

TEST_F(AudioDriverInstallerTest, ASecondAttemptCanSucceed)
{
    int calls = 0;
    runner->handler = [&](const QString &) {
        ++calls;
        return calls == 1 ? Platform::PrivilegedResult{false, -1, {}} : Platform::PrivilegedResult{true, 0, {}};
    };
    deviceAppearsAtListing(1);
    AudioDriverInstaller installer(services());
    EXPECT_TRUE(installer.installSonvalePlugin());
    EXPECT_EQ(zip->archives.size(), 2);
}

TEST_F(AudioDriverInstallerTest, ACommandThatFailsIsAFailure)
{
    runner->handler = [](const QString &command) {
        if (command.startsWith(QLatin1String("mv ")))
            return Platform::PrivilegedResult{true, 1, "mv: cannot move"};
        return Platform::PrivilegedResult{true, 0, {}};
    };
    AudioDriverInstaller installer(services());
    EXPECT_FALSE(installer.installHALAudio());
    EXPECT_EQ(runner->commands.size(), 2);
    EXPECT_TRUE(commands->commands.isEmpty());

    runner->handler = [](const QString &command) {
        return Platform::PrivilegedResult{true, command.contains(QLatin1String("ln -sf")) ? 2 : 0, {}};
    };
    EXPECT_FALSE(installer.installHALAudio());
    EXPECT_TRUE(commands->commands.isEmpty());
}

TEST_F(AudioDriverInstallerTest, AnUnzipFailureStopsBeforeAnyAdministratorCommand)
{
    zip->succeed = false;
    AudioDriverInstaller installer(services());
    EXPECT_FALSE(installer.installSonvalePlugin());
    EXPECT_EQ(zip->archives.size(), 2);
    EXPECT_TRUE(runner->commands.isEmpty());
    EXPECT_EQ(runnersMade, 0);
}

TEST_F(AudioDriverInstallerTest, LeftoversInTheStagingFolderAreClearedFirst)
{
    const QString stagingFolder = QDir(home).filePath(QStringLiteral(".local/share/ZOM"));
    ASSERT_TRUE(QDir().mkpath(staged() + QStringLiteral("/old")));
    ASSERT_TRUE(QDir().mkpath(stagingFolder + QStringLiteral("/_MACOSX/junk")));
    ASSERT_TRUE(QDir().mkpath(stagingFolder + QStringLiteral("/keep")));
    bool clearedBeforeUnzip = false;
    zip->handler = [&](const QByteArray &, const QString &) {
        clearedBeforeUnzip = !QFile::exists(staged()) && !QFile::exists(stagingFolder + QStringLiteral("/_MACOSX"));
        return false;
    };
    AudioDriverInstaller installer(services());
    installer.installHALAudio();
    EXPECT_TRUE(clearedBeforeUnzip);
    EXPECT_TRUE(QFile::exists(stagingFolder + QStringLiteral("/keep")));
}

TEST_F(AudioDriverInstallerTest, TheWaitForTheDeviceEndsInTimeAndStillCountsAsInstalled)
{
    AudioDriverServices slow = services();
    slow.timings.deviceWaitMs = 80;
    slow.timings.devicePollMs = 10;
    AudioDriverInstaller installer(slow);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(installer.loadHalAudio());
    EXPECT_GE(clock.elapsed(), 80);
    EXPECT_GE(devices->captureListCount, 2);

    // A restart that cannot even be run is a failure.
    commands->result = {false, -1, {}};
    EXPECT_FALSE(installer.loadHalAudio());
}

TEST_F(AudioDriverInstallerTest, AdministratorOutputIsReturnedAsText)
{
    AudioDriverInstaller installer(services());
    runner->result = {true, 0, "done\n"};
    int status = -5;
    EXPECT_EQ(installer.runScriptWithAdmin(QStringLiteral("true"), &status), QStringLiteral("done\n"));
    EXPECT_EQ(status, 0);
    runner->result = {true, 3, QByteArray("\xff\xfe\x80", 3)};
    EXPECT_EQ(installer.runScriptWithAdmin(QStringLiteral("true"), &status), QStringLiteral("grandSucceed"));
    EXPECT_EQ(status, 3);
    runner->result = {false, -1, {}};
    EXPECT_EQ(installer.runScriptWithAdmin(QStringLiteral("true"), &status), QStringLiteral("grantError"));
    EXPECT_EQ(status, -1);
    EXPECT_EQ(runnersMade, 1);
}

TEST_F(AudioDriverInstallerTest, QuotedPathsReachTheShellAsTheyAre)
{
    const QStringList hostile{QStringLiteral("/tmp/a b/it's"), QStringLiteral("/tmp/$(touch pwned)"),
                              QStringLiteral("/tmp/`id`;rm -rf x"), QStringLiteral("/tmp/\"quoted\" \\ back")};
    for (const QString &path : hostile) {
        bool ok = false;
        const QByteArray echoed = AudioTest::run(
            QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("printf %s ") + AudioDriverInstaller::shellQuote(path)}, &ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(QString::fromUtf8(echoed), path);
    }
}

TEST_F(AudioDriverInstallerTest, TheOlderDriverIsRemovedThenTheServerRestarted)
{
    AudioDriverInstaller installer(services());
    // Nothing to remove: only the restart.
    EXPECT_TRUE(installer.uninstallTavlinAudio());
    EXPECT_TRUE(runner->commands.isEmpty());
    EXPECT_EQ(commands->commands.size(), 1);

    const QString older = target + QStringLiteral("TavlinAudio.driver");
    ASSERT_TRUE(QDir().mkpath(older));
    EXPECT_TRUE(installer.uninstallTavlinAudio());
    EXPECT_EQ(runner->commands, QStringList{QStringLiteral("rm -r ") + q(older)});
    EXPECT_EQ(commands->commands.size(), 2);

    runner->result = {false, -1, {}};
    EXPECT_FALSE(installer.uninstallTavlinAudio());
    EXPECT_EQ(commands->commands.size(), 2);
}

} // namespace

namespace {

TEST(AudioDriverInstallerInFacade, TheLibraryServicesMakeTheInstallerWithTheStagingFolderInTheHome)
{
    TavlinServices services = TavlinServices::fromPlatform(Platform::Linux::makePlatformServices());
    ASSERT_TRUE(services.audioDriverFactory);
    std::unique_ptr<AudioDriverOperations> operations = services.audioDriverFactory();
    auto *installer = dynamic_cast<AudioDriverInstaller *>(operations.get());
    ASSERT_NE(installer, nullptr);
    EXPECT_EQ(installer->services().layout.stagingFolder,
              QDir(services.userInfo->homeDirectory()).filePath(QStringLiteral(".local/share/ZOM")));
    EXPECT_TRUE(installer->services().archive.isEmpty()); // the library's own resource
}

} // namespace
