// The compiled texts as the program loads them, and the in-program language
// switch with its folders.

#include "PublicManager/QVBundleAdd.h"

#include "FakePlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

QString text(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

// key -> English text of every "<area>_en.ts" of the sources.
QHash<QString, QString> englishTexts()
{
    QHash<QString, QString> texts;
    const QDir dir(QStringLiteral(QUAVDESK_TS_DIR));
    for (const QString &name : dir.entryList({QStringLiteral("*_en.ts")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        QXmlStreamReader xml(&file);
        QString source;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"source")
                source = xml.readElementText();
            else if (xml.name() == u"translation")
                texts.insert(source, xml.readElementText());
        }
        EXPECT_FALSE(xml.hasError()) << name.toStdString() << ": " << xml.errorString().toStdString();
    }
    return texts;
}

class TextsTest : public ::testing::Test
{
protected:
    void TearDown() override { QVBundleAdd::installTexts(QString(), QStringLiteral(":/no-texts")); }
};

} // namespace

TEST_F(TextsTest, EveryEnglishTextOfTheSourcesIsCompiledIn)
{
    // Nothing is installed until the program asks: keys show as keys.
    EXPECT_EQ(text("app_name"), QStringLiteral("app_name"));

    EXPECT_TRUE(QVBundleAdd::installTexts(QString()).isEmpty());
    const QHash<QString, QString> texts = englishTexts();
    ASSERT_GT(texts.size(), 20);
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        EXPECT_EQ(text(it.key().toUtf8().constData()), it.value()) << it.key().toStdString();
    EXPECT_EQ(text("app_name"), QStringLiteral("Quavdesk"));
    EXPECT_EQ(text("no_such_key"), QStringLiteral("no_such_key"));

    // Installing again replaces the earlier set rather than stacking on it.
    QVBundleAdd::installTexts(QString());
    EXPECT_EQ(text("app_name"), QStringLiteral("Quavdesk"));
    QVBundleAdd::installTexts(QString(), QStringLiteral(":/no-texts"));
    EXPECT_EQ(text("app_name"), QStringLiteral("app_name"));
}

TEST_F(TextsTest, ALanguageWithoutItsOwnTextsShowsEnglish)
{
    for (const QString &language : {QStringLiteral("zh-Hant-TW"), QStringLiteral("de"), QStringLiteral("en-GB")}) {
        EXPECT_TRUE(QVBundleAdd::installTexts(language).isEmpty()) << language.toStdString();
        EXPECT_EQ(text("setting_title"), QStringLiteral("Settings"));
    }
}

TEST_F(TextsTest, TheLanguageSwitchKeepsItsChoice)
{
    Platform::Fake::FakeKeyValueStore store;
    EXPECT_TRUE(QVBundleAdd::storedLanguage(store).isEmpty());

    QVBundleAdd::setAppLanguage(QStringLiteral("zh-Hans"), store);
    EXPECT_EQ(store.values.value(QStringLiteral("AppleLanguages")).toString(), QStringLiteral(R"(["zh-Hans"])"));
    EXPECT_EQ(QVBundleAdd::storedLanguage(store), QStringLiteral("zh-Hans"));
    // No Chinese texts are shipped: English stands in.
    EXPECT_EQ(text("app_name"), QStringLiteral("Quavdesk"));

    // Switching back to the default forgets the choice instead of storing
    // an empty language.
    QVBundleAdd::setAppLanguage(QString(), store);
    EXPECT_FALSE(store.contains(QStringLiteral("AppleLanguages")));

    store.values.insert(QStringLiteral("AppleLanguages"), QStringLiteral("not json"));
    EXPECT_TRUE(QVBundleAdd::storedLanguage(store).isEmpty());
    store.values.insert(QStringLiteral("AppleLanguages"), QStringLiteral("[]"));
    EXPECT_TRUE(QVBundleAdd::storedLanguage(store).isEmpty());
}

TEST(BundleFoldersTest, WorkingFoldersNestUnderTheProgramsTemporaryFolder)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QByteArray previous = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const QString home = QVBundleAdd::appHomeDirectory();
    EXPECT_EQ(QFileInfo(home).dir().absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_EQ(QFileInfo(home).fileName(), QCoreApplication::applicationName());
    const QString temp = QVBundleAdd::appTempDirectory();
    EXPECT_EQ(temp, QDir(home).filePath(QStringLiteral("temp")));
    EXPECT_EQ(QVBundleAdd::appWorkDirectory(), QDir(temp).filePath(QStringLiteral("work")));
    EXPECT_EQ(QVBundleAdd::appResetDirectory(), QDir(temp).filePath(QStringLiteral("reset")));
    for (const QString &folder : {home, temp, QVBundleAdd::appWorkDirectory(), QVBundleAdd::appResetDirectory()})
        EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();

    const QString first = QVBundleAdd::appRandomResetPath();
    const QString second = QVBundleAdd::appRandomResetPath();
    EXPECT_NE(first, second);
    EXPECT_EQ(QFileInfo(first).absolutePath(), QVBundleAdd::appResetDirectory());
    EXPECT_TRUE(first.endsWith(QStringLiteral(".jpg")));
    EXPECT_FALSE(QFileInfo::exists(first));

    if (previous.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", previous);
}
