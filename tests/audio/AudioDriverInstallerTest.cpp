// The virtual sound device's installation, over a fake administrator shell,
// a fake zip extractor and a fake sound server.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

#include "AudioDriver/AudioDriverInstaller.h"
#include "AudioTestSupport.h"
#include "FakePlatform.h"
#include "FakeSound.h"
#include "Platform/LinuxServices.h"
#include "Platform/LinuxSoundPlatform.h"
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
        result.zipExtractor = unzip;
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

    AudioDriverServices servicesWithFakeZip()
    {
        AudioDriverServices result = services();
        result.zipExtractor = zip;
        return result;
    }

    // Runs the administrator script for real, as this process's user.
    void runScriptsForReal()
    {
        runner->handler = [](const QString &command) {
            bool ok = false;
            QProcess shell;
            shell.setProcessChannelMode(QProcess::MergedChannels);
            shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
            ok = shell.waitForFinished(20000) && shell.exitStatus() == QProcess::NormalExit;
            return Platform::PrivilegedResult{true, ok ? shell.exitCode() : -1, shell.readAll()};
        };
    }

    static bool writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    QString staged() const { return QDir(home).filePath(QStringLiteral(".local/share/ZOM/Sonvale.driver")); }
    QString dropIn() const { return root.filePath(QStringLiteral("pulse drop-in")); }
    QString bundle() const { return target + QStringLiteral("Sonvale.driver"); }
    static QString q(const QString &path) { return AudioDriverInstaller::shellQuote(path); }

    QTemporaryDir root;
    QString home;
    QString target;
    std::shared_ptr<FakeSoundDevices> devices = std::make_shared<FakeSoundDevices>();
    std::shared_ptr<FakePrivilegedRunner> runner = std::make_shared<FakePrivilegedRunner>();
    std::shared_ptr<FakeZipExtractor> zip = std::make_shared<FakeZipExtractor>();
    // The real extractor; tests that count or fail the unpacking use `zip`.
    std::shared_ptr<Platform::ZipExtractor> unzip = Platform::Linux::makeZipExtractor();
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

TEST_F(AudioDriverInstallerTest, TheInstallAsksForRightsOnceThenRestartsAndWaitsForTheDevice)
{
    deviceAppearsAtListing(3);
    AudioDriverServices counted = services();
    auto extractor = unzip;
    QStringList destinations;
    zip->handler = [&](const QByteArray &archive, const QString &folder) {
        destinations.append(folder);
        return extractor->extract(archive, folder);
    };
    counted.zipExtractor = zip;
    AudioDriverInstaller installer(counted);
    EXPECT_FALSE(installer.isSonvaleInstalled());
    ASSERT_TRUE(installer.installSonvalePlugin());

    // The library's own archive, unpacked into the staging folder.
    ASSERT_EQ(zip->archives.size(), 1);
    EXPECT_TRUE(zip->archives[0].startsWith("PK\x03\x04"));
    EXPECT_EQ(destinations, QStringList{QDir(home).filePath(QStringLiteral(".local/share/ZOM"))});

    // Every administrator step in one script: one password prompt.
    ASSERT_EQ(runner->commands.size(), 1);
    EXPECT_EQ(runnersMade, 1);
    const QString script = runner->commands[0];
    EXPECT_TRUE(script.contains(QStringLiteral("ln -sfn ") + q(bundle() + QStringLiteral("/pulse/Sonvale.pa")) + QLatin1Char(' ')
                                + q(dropIn() + QStringLiteral("/Sonvale.pa"))));
    // The hashes are checked before the bundle is put in place and linked.
    EXPECT_LT(script.indexOf(QStringLiteral("check ")), script.indexOf(QStringLiteral("mv -f -T")));
    EXPECT_LT(script.indexOf(QStringLiteral("mv -f -T")), script.indexOf(QStringLiteral("ln -sfn")));

    // The restart runs as the user, and the wait ended when the device came.
    ASSERT_EQ(commands->commands.size(), 1);
    EXPECT_EQ(commands->commands[0].program, QStringLiteral("/bin/sh"));
    EXPECT_EQ(commands->commands[0].arguments,
              (QStringList{QStringLiteral("-c"), QStringLiteral("restart the sound server")}));
    EXPECT_EQ(devices->captureListCount, 3);
}

// The script run for real (the tests run as root, as the administrator shell
// would): what every user's sound server will load belongs to root.
TEST_F(AudioDriverInstallerTest, TheInstalledBundleIsRootsAndReplacesAUserOwnedOne)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand files to root";
    // A bundle left by an older installation, owned by a user, with a file
    // the new one does not have.
    ASSERT_TRUE(QDir().mkpath(bundle() + QStringLiteral("/pulse")));
    ASSERT_TRUE(writeFile(bundle() + QStringLiteral("/pulse/extra.pa"), "load-module module-null-sink\n"));
    ASSERT_EQ(::chown(QFile::encodeName(target).constData(), 1000, 1000), 0);
    ASSERT_EQ(::chown(QFile::encodeName(bundle()).constData(), 1000, 1000), 0);
    runScriptsForReal();
    deviceAppearsAtListing(1);
    AudioDriverInstaller installer(services());
    ASSERT_TRUE(installer.installHALAudio()) << runner->commands.value(0).toStdString();
    ASSERT_EQ(runner->commands.size(), 1);

    const auto ownedByRoot = [](const QString &path, mode_t mode) {
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            return false;
        return info.st_uid == 0 && info.st_gid == 0 && (info.st_mode & 07777) == mode;
    };
    EXPECT_TRUE(ownedByRoot(target, 0755));
    EXPECT_TRUE(ownedByRoot(bundle(), 0755));
    EXPECT_TRUE(ownedByRoot(bundle() + QStringLiteral("/pulse"), 0755));
    EXPECT_FALSE(QFile::exists(bundle() + QStringLiteral("/pulse/extra.pa")));
    EXPECT_FALSE(QFile::exists(bundle() + QStringLiteral(".new")));
    // Each file the library lists, with its hash, root's and 0644.
    QFile list(QString::fromLatin1(AudioDriverInstaller::kManifestResource));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const auto files = AudioDriverInstaller::parseManifest(list.readAll());
    ASSERT_TRUE(files.has_value());
    QStringList paths;
    for (const AudioDriverInstaller::BundleFile &file : *files) {
        paths << file.path;
        const QString installed = QDir(bundle()).filePath(file.path);
        EXPECT_TRUE(ownedByRoot(installed, 0644)) << file.path.toStdString();
        QFile copy(installed);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(QCryptographicHash::hash(copy.readAll(), QCryptographicHash::Sha256).toHex(), file.sha256);
    }
    EXPECT_EQ(paths, (QStringList{QStringLiteral("pipewire/Sonvale.conf"), QStringLiteral("pulse/Sonvale.pa")}));
    EXPECT_EQ(QFileInfo(dropIn() + QStringLiteral("/Sonvale.pa")).symLinkTarget(), bundle() + QStringLiteral("/pulse/Sonvale.pa"));

    // A second install over the first one.
    ASSERT_TRUE(installer.installHALAudio());
    EXPECT_TRUE(ownedByRoot(bundle() + QStringLiteral("/pulse/Sonvale.pa"), 0644));
    EXPECT_EQ(QFileInfo(dropIn() + QStringLiteral("/Sonvale.pa")).symLinkTarget(), bundle() + QStringLiteral("/pulse/Sonvale.pa"));
}

// A staged file changed after the library checked it and before the
// administrator copied it: nothing is linked, the installed bundle stays and
// no copy of the changed file is left anywhere.
TEST_F(AudioDriverInstallerTest, AFileChangedOnTheWayIsNeverInstalledNorLinked)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand files to root";
    ASSERT_TRUE(QDir().mkpath(bundle() + QStringLiteral("/pulse")));
    ASSERT_TRUE(writeFile(bundle() + QStringLiteral("/pulse/Sonvale.pa"), "# the installed one\n"));
    // A secret only root may read, which the swapped staging file points at.
    const QString secret = root.filePath(QStringLiteral("secret"));
    ASSERT_TRUE(writeFile(secret, "root's secret\n"));
    ASSERT_TRUE(QFile::setPermissions(secret, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    runScriptsForReal();
    auto realRun = runner->handler;
    const QStringList swaps{QStringLiteral("content"), QStringLiteral("link")};
    for (const QString &swap : swaps) {
        runner->commands.clear();
        runner->handler = [&, realRun](const QString &command) {
            const QString file = staged() + QStringLiteral("/pipewire/Sonvale.conf");
            QFile::remove(file);
            if (swap == QLatin1String("link"))
                QFile::link(secret, file);
            else
                writeFile(file, "context.modules = [ { name = libpipewire-module-evil } ]\n");
            return realRun(command);
        };
        AudioDriverInstaller installer(services());
        EXPECT_FALSE(installer.installHALAudio()) << swap.toStdString();
        EXPECT_EQ(runner->commands.size(), 1);
        QFile kept(bundle() + QStringLiteral("/pulse/Sonvale.pa"));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), QByteArray("# the installed one\n"));
        EXPECT_FALSE(QFile::exists(bundle() + QStringLiteral(".new")));
        EXPECT_FALSE(QFileInfo::exists(dropIn() + QStringLiteral("/Sonvale.pa")));
        EXPECT_TRUE(commands->commands.isEmpty());
    }

    // Changed before the library's own check: the user is not even asked.
    runner->commands.clear();
    runner->handler = nullptr;
    auto extractor = unzip;
    zip->handler = [&](const QByteArray &archive, const QString &folder) {
        const bool ok = extractor->extract(archive, folder);
        QFile changed(staged() + QStringLiteral("/pulse/Sonvale.pa"));
        changed.open(QIODevice::Append);
        changed.write("load-module module-evil\n");
        return ok;
    };
    const int shellsBefore = runnersMade;
    AudioDriverInstaller installer(servicesWithFakeZip());
    EXPECT_FALSE(installer.installSonvalePlugin());
    EXPECT_TRUE(runner->commands.isEmpty());
    EXPECT_EQ(runnersMade, shellsBefore);
}

TEST_F(AudioDriverInstallerTest, AnArchiveWithoutAnHonestListOfFilesIsNotInstalled)
{
    const QByteArray hash(64, 'a');
    const auto parsed = AudioDriverInstaller::parseManifest(hash + "  pulse/Sonvale.pa\n\n" + QByteArray(64, '0') + "  a b/c'd.conf\n");
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(parsed->size(), 2);
    EXPECT_EQ(parsed->at(0).path, QStringLiteral("pulse/Sonvale.pa"));
    EXPECT_EQ(parsed->at(0).sha256, hash);
    EXPECT_EQ(parsed->at(1).path, QStringLiteral("a b/c'd.conf"));

    const QList<QByteArray> hostile{
        QByteArray(),
        "\n\n",
        hash + "  ../../etc/pulse/default.pa",
        hash + "  pulse/../../x",
        hash + "  /etc/passwd",
        hash + "  pulse//x",
        hash + "  ./x",
        hash + "  x/.",
        hash + "  pulse/Sonvale.pa\n" + hash + "  pulse/Sonvale.pa",
        hash + "  line\rbreak",
        hash + " one-space",
        hash + "  ",
        QByteArray(64, 'A') + "  upper-case",
        QByteArray(63, 'a') + "  short",
        QByteArray(64, 'g') + "  not-hex",
        hash + "  \xff\xfe",
    };
    for (const QByteArray &manifest : hostile)
        EXPECT_FALSE(AudioDriverInstaller::parseManifest(manifest).has_value()) << manifest.toStdString();

    // An archive handed over without its list is never installed.
    AudioDriverServices withoutList = services();
    QFile resource(QString::fromLatin1(AudioDriverInstaller::kArchiveResource));
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    withoutList.archive = resource.readAll();
    AudioDriverInstaller installer(withoutList);
    EXPECT_FALSE(installer.installSonvalePlugin());
    EXPECT_TRUE(runner->commands.isEmpty());
}



TEST_F(AudioDriverInstallerTest, RefusedRightsEndTheInstallAndItIsTriedOnceMore)
{
    runner->result = {false, -1, {}};
    auto extractor = unzip;
    zip->handler = [&](const QByteArray &archive, const QString &folder) { return extractor->extract(archive, folder); };
    AudioDriverInstaller installer(servicesWithFakeZip());
    EXPECT_FALSE(installer.installSonvalePlugin());
    EXPECT_EQ(zip->archives.size(), 2);
    // One prompt per attempt.
    ASSERT_EQ(runner->commands.size(), 2);
    EXPECT_EQ(runner->commands[0], runner->commands[1]);
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
    EXPECT_EQ(runner->commands.size(), 2);
}

TEST_F(AudioDriverInstallerTest, AScriptThatFailsIsAFailure)
{
    runner->result = {true, 3, "changed on the way: pulse/Sonvale.pa"};
    AudioDriverInstaller installer(services());
    EXPECT_FALSE(installer.installHALAudio());
    EXPECT_EQ(runner->commands.size(), 1);
    EXPECT_TRUE(commands->commands.isEmpty());
}

TEST_F(AudioDriverInstallerTest, AnUnzipFailureStopsBeforeAnyAdministratorCommand)
{
    zip->succeed = false;
    AudioDriverInstaller installer(servicesWithFakeZip());
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
    AudioDriverInstaller installer(servicesWithFakeZip());
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
