#include "QVHttpEnvironment.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QNetworkInterface>
#include <QSettings>
#include <QSysInfo>
#include <QUuid>

namespace QVHttpEnvironment {

QString deviceUDID()
{
    static const QString kKey = QStringLiteral("device_udid");
    QSettings settings;
    QString udid = settings.value(kKey).toString();
    if (udid.isEmpty()) {
        udid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        settings.setValue(kKey, udid);
        settings.sync();
    }
    return udid;
}

QString appVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral(QUAVDESK_APP_VERSION_DEFAULT) : version;
}

QString appBuild()
{
    return QStringLiteral(QUAVDESK_BUILD_NUMBER_DEFAULT);
}

QString operatingSystemVersion()
{
    return QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelVersion();
}

QString macAddress()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const auto wanted : {QNetworkInterface::Ethernet, QNetworkInterface::Wifi}) {
        for (const QNetworkInterface &iface : interfaces) {
            if (iface.type() != wanted || (iface.flags() & QNetworkInterface::IsLoopBack))
                continue;
            const QString hw = iface.hardwareAddress().toLower();
            if (hw.size() == 17 && hw != QStringLiteral("00:00:00:00:00:00"))
                return hw;
        }
    }
    return QStringLiteral("error");
}

std::optional<QString> systemLanguage()
{
    const QStringList languages = QLocale::system().uiLanguages();
    if (languages.isEmpty() || languages.first().isEmpty())
        return std::nullopt;
    return languages.first();
}

QString base64OfText(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString base64OfLocalFileName(const QUrl &fileUrl)
{
    QString path = fileUrl.isLocalFile() ? fileUrl.toLocalFile() : fileUrl.path();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return base64OfText(QFileInfo(path).fileName());
}

} // namespace QVHttpEnvironment
