#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "Platform/LinuxPlatform.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/PrimaryMacAddress.h"
#include "Utils/settings/settings.h"

namespace {

class KeepAspectSetting : public ::testing::Test {
protected:
    void SetUp() override { settings::setStore(store); }
    void TearDown() override { settings::setStore(nullptr); }
    std::shared_ptr<Platform::Fake::FakeKeyValueStore> store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
};

} // namespace

TEST_F(KeepAspectSetting, AbsentReadsZeroAndInitStoresOneOnlyOverZero)
{
    EXPECT_EQ(settings::getKeepAspectValue(), 0);
    settings::initKeepAspectValue();
    EXPECT_EQ(settings::getKeepAspectValue(), 1);
    EXPECT_EQ(store->values.value(QStringLiteral("kKeepScreenRatioKey")).toLongLong(), 1);

    settings::setKeepAspectValue(0);
    EXPECT_EQ(settings::getKeepAspectValue(), 0);
    settings::initKeepAspectValue();
    EXPECT_EQ(settings::getKeepAspectValue(), 1);

    settings::setKeepAspectValue(2);
    settings::initKeepAspectValue();
    EXPECT_EQ(settings::getKeepAspectValue(), 2);
}

TEST_F(KeepAspectSetting, StoredTextFromASettingsFileIsReadAsANumber)
{
    store->values.insert(QStringLiteral("kKeepScreenRatioKey"), QStringLiteral("1"));
    EXPECT_EQ(settings::getKeepAspectValue(), 1);
    store->values.insert(QStringLiteral("kKeepScreenRatioKey"), QStringLiteral("garbage"));
    EXPECT_EQ(settings::getKeepAspectValue(), 0);
}

TEST(KeepAspectSettingFile, BeforeTheFacadeGivesAStoreNothingIsKept)
{
    settings::setStore(nullptr);
    settings::setKeepAspectValue(2);
    settings::initKeepAspectValue();
    EXPECT_EQ(settings::getKeepAspectValue(), 0);
}

namespace {

class MachineAddresses : public ::testing::Test {
protected:
    void SetUp() override { TavlinGlobal::setInterfaceAddresses(fake); }
    void TearDown() override { TavlinGlobal::setInterfaceAddresses(nullptr); }
    std::shared_ptr<Platform::Fake::FakeInterfaceAddresses> fake =
        std::make_shared<Platform::Fake::FakeInterfaceAddresses>();
};

} // namespace

TEST_F(MachineAddresses, MacTextIsLowerCaseWithAndWithoutColons)
{
    fake->mac = QByteArray("\x00\x1b\xAC\x0f\xfe\x09", 6);
    EXPECT_EQ(getPrimaryMacAdd(), QStringLiteral("00:1b:ac:0f:fe:09"));
    EXPECT_EQ(TavlinGlobal::getMineMacAddress(), QStringLiteral("001bac0ffe09"));

    fake->mac.clear();
    EXPECT_EQ(getPrimaryMacAdd(), QString());
    EXPECT_EQ(TavlinGlobal::getMineMacAddress(), QString());
    fake->mac = QByteArray("\x01\x02\x03", 3); // a short hardware address is no answer
    EXPECT_EQ(TavlinGlobal::getMineMacAddress(), QString());
}

TEST_F(MachineAddresses, OwnAddressIsNeverTheLoopbackOrGarbage)
{
    fake->ipv4 = QStringLiteral("192.168.3.14");
    EXPECT_EQ(TavlinGlobal::getMineIPAddress(), QStringLiteral("192.168.3.14"));
    fake->ipv4 = QStringLiteral("127.0.0.1");
    EXPECT_EQ(TavlinGlobal::getMineIPAddress(), QString());
    fake->ipv4.clear();
    EXPECT_EQ(TavlinGlobal::getMineIPAddress(), QString());
    fake->ipv4 = QStringLiteral("fe80::1");
    EXPECT_EQ(TavlinGlobal::getMineIPAddress(), QString());
    // A test's own loop-back address stands in for a network address.
    fake->ipv4 = QStringLiteral("127.0.5.9");
    EXPECT_EQ(TavlinGlobal::getMineIPAddress(), QStringLiteral("127.0.5.9"));
}

TEST(MachineProbes, RealInterfacesGiveAValidNonLoopbackAddressOrNone)
{
    TavlinGlobal::setInterfaceAddresses(nullptr);
    EXPECT_EQ(TavlinGlobal::getMineIPAddress(), QString());
    EXPECT_EQ(TavlinGlobal::getMineMacAddress(), QString());

    TavlinGlobal::setInterfaceAddresses(Platform::Linux::makeInterfaceAddresses());
    const QString address = TavlinGlobal::getMineIPAddress();
    if (!address.isEmpty()) {
        EXPECT_TRUE(TavlinGlobal::isValidIPAddress(address)) << qPrintable(address);
        EXPECT_FALSE(address.startsWith(QStringLiteral("127."))) << qPrintable(address);
    }
    const QString mac = TavlinGlobal::getMineMacAddress();
    EXPECT_TRUE(mac.isEmpty() || QRegularExpression(QStringLiteral("^[0-9a-f]{12}$")).match(mac).hasMatch())
        << qPrintable(mac);
}

TEST(MachineProbes, UnusedProbesAnswerSafely)
{
    EXPECT_FALSE(TavlinGlobal::isConnectWIFI());
    EXPECT_EQ(TavlinGlobal::getCurrentSSID(), QString());
    EXPECT_FALSE(TavlinGlobal::machineModel().isEmpty());
    EXPECT_TRUE(TavlinGlobal::appCachePath().endsWith(QLatin1Char('/') + QCoreApplication::applicationName()));
}

TEST(MachineProbes, QueuesAreSerialAndReplaceable)
{
    QThreadPool *ping = TavlinGlobal::createPingQueue();
    ASSERT_NE(ping, nullptr);
    EXPECT_EQ(TavlinGlobal::getPingQueue(), ping);
    EXPECT_EQ(ping->objectName(), QStringLiteral("com.TavlinPub.PingQueue"));
    EXPECT_EQ(ping->maxThreadCount(), 1);
    std::atomic<int> running{0};
    std::atomic<int> overlap{0};
    std::atomic<int> done{0};
    for (int i = 0; i < 4; ++i) {
        ping->start([&] {
            if (running.fetch_add(1) != 0)
                overlap.fetch_add(1);
            QThread::msleep(5);
            running.fetch_sub(1);
            done.fetch_add(1);
        });
    }
    // Replacing the queue lets the work already given to it finish.
    QThreadPool *next = TavlinGlobal::createPingQueue();
    EXPECT_EQ(done.load(), 4);
    EXPECT_EQ(overlap.load(), 0);
    EXPECT_EQ(TavlinGlobal::getPingQueue(), next);
    EXPECT_EQ(TavlinGlobal::createCaptureQueue()->objectName(), QStringLiteral("com.TavlinPub.CaptureQueue"));
}

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(LocalisationTool, ExportsSortedTablesAndRebuildsFromTranslations)
{
    QTemporaryDir source;
    QTemporaryDir output;
    writeFile(source.filePath(QStringLiteral("en.lproj/Localizable.strings")),
              "/* a comment */\n"
              "\"connect\" = \"Connect\";\n"
              "\"Apply\" = \"Apply\\nnow\";\n"
              "\"banner\" = \"Say \\\"hi\\\"\";\n");
    writeFile(source.filePath(QStringLiteral("de.lproj/Localizable.strings")),
              "\"connect\" = \"Verbinden\";\n\"Apply\" = \"Anwenden\";\n");
    writeFile(source.filePath(QStringLiteral("fr.txt")), "Appliquer\nDire \"salut\"");
    TavlinGlobal::setLocalizationFolders(source.path(), output.path());

    ASSERT_TRUE(TavlinGlobal::exportStringFile(QStringLiteral("en"), true));
    EXPECT_EQ(readAll(output.filePath(QStringLiteral("en.strings"))),
              QByteArray("\"Apply\" = \"Applynow\";\n"
                         "\"banner\" = \"Say \\\"hi\\\"\";\n"
                         "\"connect\" = \"Connect\";\n"));
    ASSERT_TRUE(TavlinGlobal::exportStringFile(QStringLiteral("de"), false));
    EXPECT_EQ(readAll(output.filePath(QStringLiteral("de.strings"))), QByteArray("Anwenden\nVerbinden\n"));

    // Two translation lines for three keys: the shorter list decides.
    ASSERT_TRUE(TavlinGlobal::createStringFileFor(QStringLiteral("fr")));
    EXPECT_EQ(readAll(output.filePath(QStringLiteral("fr.strings"))),
              QByteArray("\"Apply\" = \"Appliquer\";\n\"banner\" = \"Dire \\\"salut\\\"\";\n"));
    EXPECT_FALSE(TavlinGlobal::createStringFileFor(QStringLiteral("it")));

    TavlinGlobal::exportString();
    for (const char *code : {"en", "zh-Hans", "zh-Hant", "ru", "es", "fr", "ro", "de", "it"})
        EXPECT_TRUE(QFile::exists(output.filePath(QString::fromLatin1(code) + QStringLiteral(".strings")))) << code;
}
