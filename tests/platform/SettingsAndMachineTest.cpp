// The settings store, the consent to remote input kept in it, and what the
// system says about the machine.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "FakePlatform.h"
#include "Platform/LinuxPlatform.h"

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup
    | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

// The application's settings file inside a folder of the test's own.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        organization = QCoreApplication::organizationName();
        application = QCoreApplication::applicationName();
        QCoreApplication::setOrganizationName(QStringLiteral("QuavdeskPlatformTest"));
        QCoreApplication::setApplicationName(QStringLiteral("QuavdeskPlatformTest"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
        path = QSettings().fileName();
        ASSERT_TRUE(path.startsWith(folder.path())) << path.toStdString();
    }
    void TearDown() override
    {
        QCoreApplication::setOrganizationName(organization);
        QCoreApplication::setApplicationName(application);
    }

    QTemporaryDir folder;
    QString path;
    QString organization;
    QString application;
};

} // namespace

TEST_F(SettingsFileTest, TheFileIsTheUsersAloneFromTheFirstWriteOn)
{
    const auto store = Platform::Linux::makeKeyValueStore();
    EXPECT_FALSE(QFile::exists(path));
    store->setValue(QStringLiteral("Connect_TransferFile_Code"), QStringLiteral("secret"));
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFile::permissions(path) & kOthers, QFileDevice::Permissions());
    EXPECT_EQ(store->value(QStringLiteral("Connect_TransferFile_Code")).toString(), QStringLiteral("secret"));
    EXPECT_EQ(QSettings().value(QStringLiteral("Connect_TransferFile_Code")).toString(), QStringLiteral("secret"));

    // Rewrites keep it so, and a file an older run left open to others is
    // closed up at the next write or removal.
    store->setValue(QStringLiteral("device_udid"), QStringLiteral("A-B"));
    EXPECT_EQ(QFile::permissions(path) & kOthers, QFileDevice::Permissions());
    ASSERT_TRUE(QFile::setPermissions(path, kOwnerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    store->remove(QStringLiteral("device_udid"));
    EXPECT_EQ(QFile::permissions(path) & kOthers, QFileDevice::Permissions());
    EXPECT_FALSE(store->contains(QStringLiteral("device_udid")));
    EXPECT_TRUE(store->contains(QStringLiteral("Connect_TransferFile_Code")));
}

TEST_F(SettingsFileTest, RemoteInputConsentIsNotGivenUntilTheUserSaysYes)
{
    const auto store = Platform::Linux::makeKeyValueStore();
    const auto consent = Platform::Linux::makeRemoteInputConsent(store);
    EXPECT_FALSE(consent->isGiven());
    EXPECT_FALSE(QFile::exists(path)); // reading writes nothing

    consent->setGiven(true);
    EXPECT_TRUE(consent->isGiven());
    // Kept in the settings file, where the next run reads it back as text.
    QSettings().sync();
    EXPECT_EQ(QSettings().value(Platform::Linux::kRemoteInputConsentKey).toString(), QStringLiteral("true"));
    EXPECT_TRUE(Platform::Linux::makeRemoteInputConsent(Platform::Linux::makeKeyValueStore())->isGiven());

    consent->setGiven(false);
    EXPECT_FALSE(Platform::Linux::makeRemoteInputConsent(Platform::Linux::makeKeyValueStore())->isGiven());
}

TEST(RemoteInputConsent, OnlyAWrittenYesCounts)
{
    const auto store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
    const auto consent = Platform::Linux::makeRemoteInputConsent(store);
    const QString key = Platform::Linux::kRemoteInputConsentKey;
    for (const QVariant &value : {QVariant(QStringLiteral("yes")), QVariant(QStringLiteral("1")), QVariant(1),
                                  QVariant(QStringLiteral("TRUE ")), QVariant(QStringLiteral("")),
                                  QVariant(QStringList{QStringLiteral("true")})}) {
        store->values.insert(key, value);
        EXPECT_FALSE(consent->isGiven()) << value.toString().toStdString();
    }
    store->values.insert(key, QStringLiteral("true"));
    EXPECT_TRUE(consent->isGiven());
    store->values.insert(key, true);
    EXPECT_TRUE(consent->isGiven());

    // Without a store nothing is given and nothing breaks.
    const auto none = Platform::Linux::makeRemoteInputConsent(nullptr);
    none->setGiven(true);
    EXPECT_FALSE(none->isGiven());
}

TEST(MachineInfo, ProcessorAndModelNamesFromTheSystemFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const QString &name, const QByteArray &text) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    };
    Platform::Linux::MachineInfoFiles files;
    files.cpuinfo = write(QStringLiteral("x86"), "processor\t: 0\nvendor_id\t: GenuineIntel\n"
                                                  "model name\t: Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz\n\n"
                                                  "processor\t: 1\nmodel name\t: Second\n");
    files.models = {dir.filePath(QStringLiteral("no dmi")), write(QStringLiteral("tree"), QByteArray("Pi 4 Model B\0", 13))};
    auto info = Platform::Linux::makeMachineInfo(files);
    EXPECT_EQ(info->cpuBrand(), QStringLiteral("Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz"));
    EXPECT_EQ(info->model(), QStringLiteral("Pi 4 Model B"));

    // ARM processors name only their designer; Apple's code stands for Apple.
    files.cpuinfo = write(QStringLiteral("apple"), "processor\t: 0\nBogoMIPS\t: 48.00\nCPU implementer\t: 0x61\n");
    files.models = {write(QStringLiteral("dmi"), "  MacBookAir10,1 \n")};
    info = Platform::Linux::makeMachineInfo(files);
    EXPECT_EQ(info->cpuBrand(), QStringLiteral("Apple"));
    EXPECT_EQ(info->model(), QStringLiteral("MacBookAir10,1"));

    files.cpuinfo = write(QStringLiteral("arm"), "processor\t: 0\nCPU implementer\t: 0x41\n");
    files.models = {write(QStringLiteral("blank"), "\n")};
    info = Platform::Linux::makeMachineInfo(files);
    EXPECT_EQ(info->cpuBrand(), QString());
    EXPECT_EQ(info->model(), QString());

    files.cpuinfo = dir.filePath(QStringLiteral("missing"));
    EXPECT_EQ(Platform::Linux::makeMachineInfo(files)->cpuBrand(), QString());
}
