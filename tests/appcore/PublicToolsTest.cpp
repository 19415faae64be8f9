#include "PublicManager/QVPlatform.h"
#include "PublicManager/QVPublicTools.h"

#include "FakePlatformServices.h"
#include "Platform/LinuxServices.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A store that counts its writes.
class CountingStore final : public Platform::KeyValueStore
{
public:
    bool contains(const QString &key) const override { return values.contains(key); }
    QVariant value(const QString &key) const override { return values.value(key); }
    void setValue(const QString &key, const QVariant &value) override
    {
        ++writes;
        values.insert(key, value);
    }
    void remove(const QString &key) override { values.remove(key); }

    QHash<QString, QVariant> values;
    int writes = 0;
};

QVStorageModel record(const QString &name, const QString &ip, const QString &code)
{
    QVStorageModel model;
    model.setDeviceName(name);
    model.setDeviceIP(ip);
    model.setScreenCastingCode(code);
    return model;
}

class PublicToolsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QVPublicToolsServices services;
        services.store = store;
        services.interfaceAddresses = addresses;
        services.fileShareIp = [this] { return fileShareIp; };
        services.preferredLanguages = [this] { return languages; };
        tools = std::make_unique<QVPublicTools>(services);
    }

    QJsonArray stored(const QString &key) const
    {
        return QJsonDocument::fromJson(store->values.value(key).toString().toUtf8()).array();
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QTemporaryDir dir;
    std::shared_ptr<CountingStore> store = std::make_shared<CountingStore>();
    std::shared_ptr<Platform::Fake::FakeInterfaceAddresses> addresses =
        std::make_shared<Platform::Fake::FakeInterfaceAddresses>();
    QString fileShareIp = QStringLiteral("http://127.0.0.1:8652");
    QStringList languages = {QStringLiteral("en-GB")};
    std::unique_ptr<QVPublicTools> tools;
};

} // namespace

// ---------------------------------------------------------------------------
// Remembered connections

TEST_F(PublicToolsTest, RememberedConnectionsAreReplacedPerAddress)
{
    const QString key = QVPublicTools::ConnectStorageModelKey;
    EXPECT_EQ(key, QStringLiteral("Connect_StorageModel"));
    EXPECT_FALSE(tools->checkStorageModelWithDeviceIP(QStringLiteral("192.0.2.10"), key));

    tools->saveConnectStorageModel(record("Room A", "192.0.2.10", "123456"), key);
    tools->saveConnectStorageModel(record("Room B", "192.0.2.11", "ABCDEFGH"), key);
    tools->saveConnectStorageModel(record("Room A2", "192.0.2.10", "654321"), key);

    const QJsonArray array = stored(key);
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array.at(0).toObject(), (QJsonObject{{"deviceName", "Room A2"},
                                                   {"deviceIP", "192.0.2.10"},
                                                   {"screenCastingCode", "654321"}}));
    EXPECT_EQ(array.at(1).toObject().value("screenCastingCode").toString(), QStringLiteral("ABCDEFGH"));

    const auto found = tools->checkStorageModelWithDeviceIP(QStringLiteral("192.0.2.10"), key);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->deviceName(), QStringLiteral("Room A2"));
    EXPECT_EQ(found->screenCastingCode(), QStringLiteral("654321"));
    EXPECT_TRUE(found->transferFileCode().isNull());
    EXPECT_FALSE(tools->checkStorageModelWithDeviceIP(QStringLiteral("192.0.2.99"), key));
    // The two keys are apart.
    EXPECT_FALSE(tools->checkStorageModelWithDeviceIP(QStringLiteral("192.0.2.10"),
                                                      QVPublicTools::ConnectTransferFileCodeKey));

    tools->removeConnectStorageModel(record("", "192.0.2.10", ""), key);
    EXPECT_FALSE(tools->checkStorageModelWithDeviceIP(QStringLiteral("192.0.2.10"), key));
    EXPECT_EQ(stored(key).size(), 1);

    // Removing what is not there writes nothing.
    const int writes = store->writes;
    tools->removeConnectStorageModel(record("", "192.0.2.10", ""), key);
    tools->removeConnectStorageModel(record("", "192.0.2.10", ""), QStringLiteral("Never_Written"));
    EXPECT_EQ(store->writes, writes);
}

TEST_F(PublicToolsTest, AnAddressStoredTwiceHasOnlyItsLastEntryReplacedOrRemoved)
{
    const QString key = QVPublicTools::ConnectTransferFileCodeKey;
    store->values.insert(key, QStringLiteral(R"([{"deviceIP":"10.0.0.5","transferFileCode":"AAAA"},)"
                                             R"({"deviceIP":"10.0.0.6","transferFileCode":"BBBB"},)"
                                             R"({"deviceIP":"10.0.0.5","transferFileCode":"CCCC"}])"));
    EXPECT_EQ(tools->checkStorageModelWithDeviceIP(QStringLiteral("10.0.0.5"), key)->transferFileCode(),
              QStringLiteral("CCCC"));

    QVStorageModel model;
    model.setDeviceName(QStringLiteral("Pad"));
    model.setDeviceIP(QStringLiteral("10.0.0.5"));
    model.setTransferFileCode(QStringLiteral("DDDD"));
    tools->saveConnectStorageModel(model, key);
    QJsonArray array = stored(key);
    ASSERT_EQ(array.size(), 3);
    EXPECT_EQ(array.at(0).toObject().value("transferFileCode").toString(), QStringLiteral("AAAA"));
    EXPECT_EQ(array.at(2).toObject(),
              (QJsonObject{{"deviceName", "Pad"}, {"deviceIP", "10.0.0.5"}, {"transferFileCode", "DDDD"}}));

    tools->removeConnectStorageModel(model, key);
    array = stored(key);
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array.at(0).toObject().value("transferFileCode").toString(), QStringLiteral("AAAA"));
    EXPECT_EQ(tools->checkStorageModelWithDeviceIP(QStringLiteral("10.0.0.5"), key)->transferFileCode(),
              QStringLiteral("AAAA"));
}

TEST_F(PublicToolsTest, StoredValuesOfTheWrongShapeAreSkipped)
{
    const QString key = QVPublicTools::ConnectStorageModelKey;
    const QList<QVariant> garbage = {
        QVariant(QStringLiteral("not json")),
        QVariant(QStringLiteral(R"({"deviceIP":"10.0.0.5"})")),
        QVariant(QStringLiteral("null")),
        QVariant(42),
        QVariant(QVariantList{QStringLiteral("10.0.0.5")}),
        QVariant(QByteArray("\xff\xfe")),
    };
    for (const QVariant &value : garbage) {
        store->values.insert(key, value);
        EXPECT_FALSE(tools->checkStorageModelWithDeviceIP(QStringLiteral("10.0.0.5"), key));
        tools->removeConnectStorageModel(record("", "10.0.0.5", ""), key);
        tools->saveConnectStorageModel(record("Room", "10.0.0.5", "123456"), key);
        ASSERT_EQ(stored(key).size(), 1);
        EXPECT_EQ(tools->checkStorageModelWithDeviceIP(QStringLiteral("10.0.0.5"), key)->screenCastingCode(),
                  QStringLiteral("123456"));
    }

    // Entries that are no records are passed over and kept; a numeric
    // address counts as its text.
    store->values.insert(key, QStringLiteral(R"([7, "text", null, [1], {"deviceIP": null},)"
                                             R"( {"deviceIP": 1234, "screenCastingCode": 999999},)"
                                             R"( {"deviceName": "no address"}])"));
    const auto numeric = tools->checkStorageModelWithDeviceIP(QStringLiteral("1234"), key);
    ASSERT_TRUE(numeric);
    EXPECT_EQ(numeric->screenCastingCode(), QStringLiteral("999999"));
    EXPECT_FALSE(tools->checkStorageModelWithDeviceIP(QString(), key));
    EXPECT_FALSE(tools->checkStorageModelWithDeviceIP(QStringLiteral(""), key));
    tools->saveConnectStorageModel(record("Room", "10.0.0.7", "111111"), key);
    const QJsonArray array = stored(key);
    ASSERT_EQ(array.size(), 8);
    EXPECT_EQ(array.at(0).toDouble(), 7);
    EXPECT_EQ(array.at(1).toString(), QStringLiteral("text"));
    tools->removeConnectStorageModel(record("", "1234", ""), key);
    EXPECT_EQ(stored(key).size(), 7);
}

TEST(PublicToolsStoreTest, TheProgramsSettingsHoldJsonText)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString organization = QCoreApplication::organizationName();
    const QString application = QCoreApplication::applicationName();
    QCoreApplication::setOrganizationName(QStringLiteral("Quavdesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Quavdesk"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());

    QVPublicToolsServices services = QVPublicToolsServices::fromPlatform(Platform::Linux::makePlatformServices());
    services.fileShareIp = [] { return QString(); };
    QVPublicTools tools(services);
    tools.saveConnectStorageModel(record("Room A", "192.0.2.10", "123456"), QVPublicTools::ConnectStorageModelKey);
    const QString udid = tools.deviceUDID();

    {
        QSettings settings;
        EXPECT_TRUE(settings.fileName().startsWith(dir.path())) << settings.fileName().toStdString();
        EXPECT_EQ(settings.value(QStringLiteral("Connect_StorageModel")).toString(),
                  QStringLiteral(R"([{"deviceIP":"192.0.2.10","deviceName":"Room A","screenCastingCode":"123456"}])"));
        EXPECT_EQ(settings.value(QStringLiteral("device_udid")).toString(), udid);
    }
    // A second tools object over the same store sees the same values.
    QVPublicTools again(services);
    EXPECT_EQ(again.deviceUDID(), udid);
    EXPECT_TRUE(again.checkStorageModelWithDeviceIP(QStringLiteral("192.0.2.10"), QVPublicTools::ConnectStorageModelKey));

    QCoreApplication::setOrganizationName(organization);
    QCoreApplication::setApplicationName(application);
}

// main() hands the program its one set of services; the shared tools keep
// their values in its store, and no second set can take over later.
TEST(ProgramPlatformTest, TheSharedToolsWorkOverTheServicesHandedOver)
{
    Platform::Fake::FakePlatformServices fakes;
    fakes.interfaceAddresses->mac = QByteArray("\x00\x1b\xac\x0f\xfe\x09", 6);
    ASSERT_TRUE(QVPlatform::setServices(fakes.services()));
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    const QString udid = tools->deviceUDID();
    EXPECT_FALSE(udid.isEmpty());
    EXPECT_EQ(fakes.store->values.value(QVPublicTools::DeviceUdidKey).toString(), udid);
    EXPECT_EQ(tools->getMacAddress(), QStringLiteral("00:1b:ac:0f:fe:09"));

    Platform::Fake::FakePlatformServices other;
    EXPECT_FALSE(QVPlatform::setServices(other.services()));
    EXPECT_EQ(QVPlatform::services().store, fakes.services().store);
    EXPECT_EQ(tools->deviceUDID(), udid);
}

TEST(StorageModelTest, KeyValuesAndArchiving)
{
    QVStorageModel model = record("Room A", "192.0.2.10", "123456");
    EXPECT_EQ(model.keyValues().keys(), (QStringList{"deviceIP", "deviceName", "screenCastingCode"}));
    EXPECT_EQ(QVStorageModel::objectWithKeyValues(model.keyValues()), model);

    const QVStorageModel odd = QVStorageModel::objectWithKeyValues(
        QJsonObject{{"deviceIP", 5}, {"deviceName", QJsonArray{}}, {"transferFileCode", 1.5}, {"other", "x"}});
    EXPECT_EQ(odd.deviceIP(), QStringLiteral("5"));
    EXPECT_TRUE(odd.deviceName().isEmpty());
    EXPECT_EQ(odd.transferFileCode(), QStringLiteral("1.5"));

    model.setTransferFileCode(QStringLiteral("ABCD"));
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << model;
    }
    QVStorageModel back;
    QDataStream in(bytes);
    in >> back;
    EXPECT_EQ(back, model);
}

// ---------------------------------------------------------------------------
// Program and device information

TEST_F(PublicToolsTest, TheInstallationIdentifierIsMadeOnceAndKept)
{
    const QString udid = tools->deviceUDID();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                    .match(udid)
                    .hasMatch())
        << udid.toStdString();
    EXPECT_EQ(store->values.value(QStringLiteral("device_udid")).toString(), udid);
    EXPECT_EQ(tools->deviceUDID(), udid);
    EXPECT_NE(QVPublicTools::rv_udid(), QVPublicTools::rv_udid());

    // A value that is no text is replaced.
    store->values.insert(QStringLiteral("device_udid"), 17);
    const QString replaced = tools->deviceUDID();
    EXPECT_NE(replaced, udid);
    EXPECT_EQ(store->values.value(QStringLiteral("device_udid")).toString(), replaced);
}

TEST_F(PublicToolsTest, LanguagesMapToTheWebPagesSuffixes)
{
    using T = QVPublicTools;
    EXPECT_EQ(T::conversionLanguage(QStringLiteral("zh-Hans")), QStringLiteral("zh-Hans"));
    EXPECT_EQ(T::conversionLanguage(QStringLiteral("zh")), QStringLiteral("zh-Hans"));
    EXPECT_EQ(T::conversionLanguage(QStringLiteral("zh-Hans-CN")), QStringLiteral("zh-Hans"));
    EXPECT_EQ(T::conversionLanguage(QStringLiteral("zh-Hant")), QStringLiteral("zh-Hant"));
    EXPECT_EQ(T::conversionLanguage(QStringLiteral("zh-Hant-TW")), QStringLiteral("zh-Hant"));
    EXPECT_EQ(T::conversionLanguage(QStringLiteral("zh-HK")), QStringLiteral("en"));
    EXPECT_EQ(T::conversionLanguage(QString()), QStringLiteral("en"));
    EXPECT_EQ(T::appSupportLanguageForH5(QStringLiteral("zh-Hans-CN")), QStringLiteral(""));
    EXPECT_EQ(T::appSupportLanguageForH5(QStringLiteral("zh-Hant-TW")), QStringLiteral("_tw"));
    EXPECT_EQ(T::appSupportLanguageForH5(QStringLiteral("zh-HK")), QStringLiteral("_en"));
    EXPECT_EQ(T::appSupportLanguageForH5(QStringLiteral("en-GB")), QStringLiteral("_en"));

    languages = {QStringLiteral("zh-Hant-TW"), QStringLiteral("en-US")};
    EXPECT_EQ(tools->systemLanguage(), QStringLiteral("zh-Hant-TW"));
    EXPECT_EQ(tools->getCurrentShowLanguage(), QStringLiteral("zh-Hant"));
    EXPECT_EQ(tools->getAppSupportLanguageForH5(), QStringLiteral("_tw"));
    languages.clear();
    EXPECT_TRUE(tools->systemLanguage().isNull());
    EXPECT_EQ(tools->getCurrentShowLanguage(), QStringLiteral("en"));
}

TEST_F(PublicToolsTest, ProgramAndSystemInformation)
{
    EXPECT_EQ(QVPublicTools::appVersion(), QStringLiteral("1.0.0"));
    EXPECT_FALSE(QVPublicTools::appBuild().isEmpty());
    EXPECT_FALSE(QVPublicTools::operatingSystemVersion().trimmed().isEmpty());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Mac \\d+_\\d+_\\d+$")).match(QVPublicTools::systemVersion()).hasMatch());

    addresses->mac = QByteArray::fromHex("0a1b2c3d4eff");
    EXPECT_EQ(tools->getMacAddress(), QStringLiteral("0a:1b:2c:3d:4e:ff"));
    addresses->mac.clear();
    EXPECT_EQ(tools->getMacAddress(), QStringLiteral("error"));
    addresses->mac = QByteArray::fromHex("0a1b2c");
    EXPECT_EQ(tools->getMacAddress(), QStringLiteral("error"));

    addresses->ipv4 = QStringLiteral("127.0.0.1");
    EXPECT_EQ(tools->getIPAddresses().value(QStringLiteral("IPv4")).toString(), QStringLiteral("127.0.0.1"));
    addresses->ipv4.clear();
    EXPECT_TRUE(tools->getIPAddresses().isEmpty());
}

TEST_F(PublicToolsTest, SharedPageState)
{
    EXPECT_FALSE(tools->alert_uploadFile_noPromptAgain());
    EXPECT_FALSE(tools->alert_downLoadFile_noPromptAgain());
    EXPECT_FALSE(tools->isInToUploadFilePage());
    EXPECT_TRUE(tools->downLoadFilePassWord().isEmpty());
    EXPECT_FALSE(tools->downLoadFilePassWord().isNull());
    EXPECT_TRUE(tools->downLoadFileListArray().isEmpty());
    EXPECT_TRUE(tools->vcCacheDictionary().isEmpty());

    tools->setDownLoadFileListArray({QStringLiteral("a"), QStringLiteral("b")});
    tools->setDownLoadFilePassWord(QStringLiteral("123456"));
    EXPECT_EQ(tools->downLoadFileListArray().size(), 2);
    EXPECT_EQ(tools->downLoadFilePassWord(), QStringLiteral("123456"));

    auto *page = new QObject;
    tools->vcCacheDictionary().insert(QStringLiteral("QVMainViewController"), page);
    EXPECT_EQ(tools->vcCacheDictionary().value(QStringLiteral("QVMainViewController")), page);
    delete page;
    EXPECT_EQ(tools->vcCacheDictionary().value(QStringLiteral("QVMainViewController")), nullptr);
    EXPECT_EQ(tools->showNextViewDelegate(), nullptr);
    EXPECT_EQ(tools->showSettingRootNextViewDelegate(), nullptr);
    EXPECT_EQ(tools->showDownLoadFileRootNextViewDelegate(), nullptr);

    // Without a screen the smaller page height is taken, once.
    EXPECT_DOUBLE_EQ(tools->getCurrentPageHeight(), 566.95);
    EXPECT_DOUBLE_EQ(tools->mainScreenHeight(), 566.95);
    tools->setMainScreenHeight(700.0);
    EXPECT_DOUBLE_EQ(tools->getCurrentPageHeight(), 700.0);

    EXPECT_EQ(QVPublicTools::sharedPublicTools(), QVPublicTools::sharedPublicTools());
}

// ---------------------------------------------------------------------------
// Tables

TEST(PublicToolsTableTest, ButtonStylesRootFoldersAndFileTypes)
{
    using T = QVPublicTools;
    const QStringList titles = {"shareScreen_disconnectBtn_title", "shareScreen_btn_fullScreen",
                                "shareScreen_btn_unFullScreen", "shareScreen_btn_freeze", "shareScreen_btn_unFreeze"};
    const QStringList images = {"detail_disconnect_switch", "detail_full_screen", "detail_cancel_full_screen",
                                "detail_screen_freeze", "detail_screen_unfreeze"};
    for (int style = 0; style < 5; ++style) {
        // No translation is loaded: the keys come back.
        EXPECT_EQ(T::getTitleNameWithStyle(style), titles.at(style));
        EXPECT_EQ(T::getImageNameWithStyle(style), images.at(style));
    }
    for (qint64 style : {qint64(-1), qint64(5), qint64(1) << 40}) {
        EXPECT_EQ(T::getTitleNameWithStyle(style), QStringLiteral(""));
        EXPECT_EQ(T::getImageNameWithStyle(style), QStringLiteral(""));
    }

    const QList<QStringList> roots = {
        {"Root-Local", "list_menu_localFile", "downLoadFile_menuName_local"},
        {"Root-Download", "list_menu_downLoad", "downLoadFile_menuName_downLoad"},
        {"Root-Share", "list_menu_share", "downLoadFile_menuName_share"},
        {"Root-Meeting", "list_menu_localMeetingRecord", "downLoadFile_menuName_meetingRecord"},
        {"Root-Picture", "list_menu_picture", "downLoadFile_menuName_picture"},
        {"Root-Encrypt", "list_menu_encrypt", "downLoadFile_menuName_encrypt"},
        {"Root-Other", "list_menu_bitmap", ""},
        {"root-local", "list_menu_bitmap", ""},
        {"", "list_menu_bitmap", ""},
    };
    for (const QStringList &root : roots) {
        EXPECT_EQ(T::getRootMenuIconWithRootKey(root.at(0)), root.at(1));
        EXPECT_EQ(T::getRootMenuNameWithRootKey(root.at(0)), root.at(2));
    }

    const QList<QStringList> types = {
        {"IMAGE", "list_fileType_picture"}, {"DOC", "list_fileType_word"},    {"PDF", "list_fileType_pdf"},
        {"PPT", "list_fileType_ppt"},       {"EXCEL", "list_fileType_excel"}, {"FOLDER", "list_fileType_folder"},
        {"AUDIO", "list_fileType_audio"},   {"MEET_RECORD", "list_fileType_video"},
        {"VIDEO", "list_fileType_video"},   {"DOCUMENT", "list_fileType_text"}, {"ZIP", "list_fileType_zip"},
        {"APK", "list_fileType_apk"},       {"X_APK", "list_fileType_apk"},   {"OTHER", "list_fileType_other"},
        {"image", ""},                      {"TXT", ""},                      {"", ""},
    };
    for (const QStringList &type : types)
        EXPECT_EQ(T::getFileIconWithFileType(type.at(0)), type.at(1)) << type.at(0).toStdString();

    const QStringList allowed = T::fileUploadAllowedFileTypes();
    EXPECT_EQ(allowed.size(), 57);
    EXPECT_EQ(allowed.first(), QStringLiteral("apk"));
    EXPECT_EQ(allowed.last(), QStringLiteral("pdf"));
    EXPECT_EQ(allowed.count(QStringLiteral("ogg")), 2);
    EXPECT_EQ(allowed.indexOf(QStringLiteral("mp3")), 33);

    EXPECT_EQ(T::cutOutMaxmunTextWithText(QStringLiteral("abcd")), QStringLiteral("abcd"));
    EXPECT_EQ(T::cutOutMaxmunTextWithText(QStringLiteral("abcde")), QStringLiteral("abc..."));
    EXPECT_EQ(T::cutOutMaxmunTextWithText(QStringLiteral("会议记录文件")), QStringLiteral("会议记..."));
    EXPECT_EQ(T::cutOutMaxmunTextWithText(QString()), QString());
}

// ---------------------------------------------------------------------------
// Files

TEST_F(PublicToolsTest, FileNamesSizesAndDigests)
{
    const QString path = writeFile(QStringLiteral("报告 1.txt"), "abc");
    const QUrl url = QUrl::fromLocalFile(path);
    EXPECT_EQ(QVPublicTools::getLocalFileName(url), QString::fromLatin1(QStringLiteral("报告 1.txt").toUtf8().toBase64()));
    EXPECT_EQ(QVPublicTools::downLoadFileForBase64(QStringLiteral("/sdcard/文件")),
              QStringLiteral("L3NkY2FyZC/mlofku7Y="));
    EXPECT_EQ(QVPublicTools::getLocalFileBytes(url), QStringLiteral("3"));
    EXPECT_EQ(QVPublicTools::getLocalFileMd5(url), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(QVPublicTools::getlocalDataMd5("abc"), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(QVPublicTools::getlocalDataMd5(QByteArray()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));

    const QUrl empty = QUrl::fromLocalFile(writeFile(QStringLiteral("empty"), QByteArray()));
    EXPECT_EQ(QVPublicTools::getLocalFileMd5(empty), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(QVPublicTools::getLocalFileBytes(empty), QStringLiteral("0"));

    const QUrl missing = QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing")));
    EXPECT_TRUE(QVPublicTools::getLocalFileMd5(missing).isNull());
    EXPECT_EQ(QVPublicTools::getLocalFileBytes(missing), QStringLiteral("0"));
    EXPECT_TRUE(QVPublicTools::getLocalFileMd5(QUrl::fromLocalFile(dir.path())).isNull());
    EXPECT_TRUE(QVPublicTools::getLocalFileMd5(QUrl()).isNull());
    EXPECT_EQ(QVPublicTools::getLocalFileBytes(QUrl()), QStringLiteral("0"));

    if (geteuid() != 0) {
        const QString locked = writeFile(QStringLiteral("locked"), "secret");
        QFile::setPermissions(locked, QFileDevice::Permissions());
        EXPECT_TRUE(QVPublicTools::getLocalFileMd5(QUrl::fromLocalFile(locked)).isNull());
    }

    EXPECT_TRUE(QVPublicTools::checkFileInWorkSpaceWithFilePath(path));
    EXPECT_FALSE(QVPublicTools::checkFileInWorkSpaceWithFilePath(missing.toLocalFile()));
    EXPECT_FALSE(QVPublicTools::checkFileInWorkSpaceWithFilePath(QString()));

    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(path, link));
    EXPECT_TRUE(QVPublicTools::isAliasFileAtURL(QUrl::fromLocalFile(link)));
    EXPECT_FALSE(QVPublicTools::isAliasFileAtURL(url));
    EXPECT_FALSE(QVPublicTools::isAliasFileAtURL(missing));
}

TEST_F(PublicToolsTest, TheDigestOfALargeFileMatchesMd5sum)
{
    const QString path = dir.filePath(QStringLiteral("large.bin"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QRandomGenerator generator(1234);
        QByteArray block(1 << 20, Qt::Uninitialized);
        for (int i = 0; i < 64; ++i) {
            generator.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
            ASSERT_EQ(file.write(block), block.size());
        }
    }
    // One more odd byte, so the last piece is a short one.
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("x");
    }
    QProcess md5sum;
    md5sum.start(QStringLiteral("md5sum"), {path});
    ASSERT_TRUE(md5sum.waitForFinished(60000));
    const QString expected = QString::fromLatin1(md5sum.readAllStandardOutput()).section(QLatin1Char(' '), 0, 0);
    ASSERT_EQ(expected.size(), 32);
    EXPECT_EQ(QVPublicTools::getLocalFileMd5(QUrl::fromLocalFile(path)), expected);
    EXPECT_EQ(QVPublicTools::getLocalFileBytes(QUrl::fromLocalFile(path)), QString::number(64 * 1024 * 1024 + 1));
}

TEST_F(PublicToolsTest, UploadPiecesComeFromTheNamedOffset)
{
    QByteArray content(1000, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    const QUrl url = QUrl::fromLocalFile(writeFile(QStringLiteral("piece.bin"), content));

    EXPECT_EQ(QVPublicTools::splitUploadWithUrl(url, QStringLiteral("990")), content.right(10));
    EXPECT_EQ(QVPublicTools::splitUploadWithUrl(url, QStringLiteral("0")), content);
    EXPECT_EQ(QVPublicTools::splitUploadWithUrl(url, QStringLiteral(" 12xyz")), content.mid(12));
    EXPECT_EQ(QVPublicTools::splitUploadWithUrl(url, QStringLiteral("abc")), content);
    EXPECT_TRUE(QVPublicTools::splitUploadWithUrl(url, QStringLiteral("1000")).isEmpty());
    EXPECT_TRUE(QVPublicTools::splitUploadWithUrl(url, QStringLiteral("1001")).isEmpty());
    EXPECT_TRUE(QVPublicTools::splitUploadWithUrl(url, QStringLiteral("-5")).isEmpty());
    EXPECT_TRUE(QVPublicTools::splitUploadWithUrl(url, QStringLiteral("99999999999999999999999")).isEmpty());
    EXPECT_TRUE(QVPublicTools::splitUploadWithUrl(QUrl::fromLocalFile(dir.filePath("missing")), "0").isEmpty());

    // A piece is at most 100 MiB (the file is sparse: no disk is used).
    const QString bigPath = dir.filePath(QStringLiteral("big.bin"));
    {
        QFile big(bigPath);
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(QVPublicTools::UploadPieceBytes + 5));
    }
    const QUrl bigUrl = QUrl::fromLocalFile(bigPath);
    EXPECT_EQ(QVPublicTools::splitUploadWithUrl(bigUrl, QStringLiteral("0")).size(), 104857600);
    EXPECT_EQ(QVPublicTools::splitUploadWithUrl(bigUrl, QStringLiteral("104857600")).size(), 5);
}

// ---------------------------------------------------------------------------
// Download folder and thumbnails

TEST_F(PublicToolsTest, TheDownloadFolderIsKeptAsItsPath)
{
    EXPECT_TRUE(tools->getDownLoadFilePathWithBookMark().isEmpty());
    EXPECT_FALSE(tools->downLoadFilePathIsReachable());

    const QString folder = dir.filePath(QStringLiteral("Downloads"));
    ASSERT_TRUE(QDir().mkpath(folder));
    tools->saveDownLoadFilePathWithWithUrl(QUrl::fromLocalFile(folder));
    EXPECT_EQ(store->values.value(QStringLiteral("DownLoadFilePath_BookMark")).toString(), folder);
    EXPECT_EQ(tools->getDownLoadFilePathWithBookMark(), QUrl::fromLocalFile(folder));
    EXPECT_TRUE(tools->downLoadFilePathIsReachable());
    tools->closedFilePathSecurityScopedResource();
    EXPECT_TRUE(tools->downLoadFilePathIsReachable());

    if (geteuid() != 0) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(tools->downLoadFilePathIsReachable());
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_TRUE(tools->getDownLoadFilePathWithBookMark().isEmpty());
    EXPECT_FALSE(tools->downLoadFilePathIsReachable());

    // Only local folders are taken; stored values of another kind count as none.
    tools->saveDownLoadFilePathWithWithUrl(QUrl(QStringLiteral("http://192.0.2.1/folder")));
    EXPECT_EQ(store->values.value(QStringLiteral("DownLoadFilePath_BookMark")).toString(), folder);
    store->values.insert(QStringLiteral("DownLoadFilePath_BookMark"), QByteArray("\x01\x02"));
    EXPECT_TRUE(tools->getDownLoadFilePathWithBookMark().isEmpty());
    store->values.insert(QStringLiteral("DownLoadFilePath_BookMark"), QStringLiteral("relative/path"));
    EXPECT_TRUE(tools->getDownLoadFilePathWithBookMark().isEmpty());
}

TEST_F(PublicToolsTest, ThumbnailAddressesEscapeThePath)
{
    EXPECT_EQ(tools->getDownLoadThumbUrl(QStringLiteral("/storage/emulated/0/DCIM/a b&c.jpg")).toString(QUrl::FullyEncoded),
              QStringLiteral("http://127.0.0.1:8652/api/glimra/fileShare/getThumb?path="
                             "%2Fstorage%2Femulated%2F0%2FDCIM%2Fa%20b%26c.jpg"));
    EXPECT_EQ(tools->getDownLoadThumbUrl(QStringLiteral("!*'();:@&=+$,/?%#[]-._~")).toString(QUrl::FullyEncoded),
              QStringLiteral("http://127.0.0.1:8652/api/glimra/fileShare/getThumb?path="
                             "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D-._~"));
    EXPECT_EQ(tools->getDownLoadThumbUrl(QStringLiteral("/图片.png")).toString(QUrl::FullyEncoded),
              QStringLiteral("http://127.0.0.1:8652/api/glimra/fileShare/getThumb?path=%2F%E5%9B%BE%E7%89%87.png"));
}
