#include "QVBundleAdd.h"

#include "Platform/KeyValueStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QPointer>
#include <QTranslator>
#include <QUuid>

namespace QVBundleAdd {

namespace {

QList<QPointer<QTranslator>> &installedTranslators()
{
    static QList<QPointer<QTranslator>> translators;
    return translators;
}

void removeInstalledTexts()
{
    for (const QPointer<QTranslator> &translator : std::exchange(installedTranslators(), {})) {
        if (!translator)
            continue;
        QCoreApplication::removeTranslator(translator);
        delete translator.data();
    }
}

// Installs every "<area>_<language>.qm" of the folder; the number installed.
int installFiles(const QString &folder, const QString &language)
{
    const QString suffix = QLatin1Char('_') + language + QStringLiteral(".qm");
    const QStringList files = QDir(folder).entryList({QLatin1Char('*') + suffix}, QDir::Files, QDir::Name);
    int installed = 0;
    for (const QString &file : files) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (!translator->load(file, folder) || !QCoreApplication::installTranslator(translator)) {
            delete translator;
            continue;
        }
        installedTranslators().append(translator);
        ++installed;
    }
    return installed;
}

QString ensured(const QString &path)
{
    QDir().mkpath(path);
    return path;
}

} // namespace

QString installTexts(const QString &language, const QString &folder)
{
    removeInstalledTexts();
    if (!QCoreApplication::instance())
        return QString();
    installFiles(folder, BaseLanguage);
    // The last installed translator is asked first.
    if (language.isEmpty() || language == BaseLanguage)
        return QString();
    // "zh-Hant-TW" has its own files or those of "zh-Hant" or "zh".
    QStringList parts = language.split(QLatin1Char('-'));
    while (!parts.isEmpty()) {
        const QString candidate = parts.join(QLatin1Char('-'));
        if (candidate != BaseLanguage && installFiles(folder, candidate) > 0)
            return candidate;
        parts.removeLast();
    }
    return QString();
}

QString storedLanguage(const Platform::KeyValueStore &store)
{
    const QVariant stored = store.value(AppleLanguagesKey);
    if (stored.typeId() != QMetaType::QString)
        return QString();
    const QJsonDocument document = QJsonDocument::fromJson(stored.toString().toUtf8());
    if (!document.isArray() || document.array().isEmpty())
        return QString();
    return document.array().first().toString();
}

void setAppLanguage(const QString &language, Platform::KeyValueStore &store)
{
    installTexts(language);
    setupCurrentLanguage(language, store);
}

void setupCurrentLanguage(const QString &language, Platform::KeyValueStore &store)
{
    if (language.isEmpty()) {
        store.remove(AppleLanguagesKey);
        return;
    }
    store.setValue(AppleLanguagesKey,
                   QString::fromUtf8(QJsonDocument(QJsonArray{language}).toJson(QJsonDocument::Compact)));
}

QString appHomeDirectory()
{
    QString base = QDir::tempPath();
    if (base.isEmpty() || !QDir(base).exists())
        base = QDir::homePath();
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("Quavdesk");
    return ensured(QDir(base).filePath(name));
}

QString appTempDirectory()
{
    return ensured(QDir(appHomeDirectory()).filePath(QStringLiteral("temp")));
}

QString appWorkDirectory()
{
    return ensured(QDir(appTempDirectory()).filePath(QStringLiteral("work")));
}

QString appResetDirectory()
{
    return ensured(QDir(appTempDirectory()).filePath(QStringLiteral("reset")));
}

QString appRandomResetPath()
{
    return QDir(appResetDirectory())
        .filePath(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".jpg"));
}

} // namespace QVBundleAdd
