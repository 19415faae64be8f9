#include "QVServiceAddresses.h"

#include <QSettings>

namespace QVServiceAddresses {

namespace {

QString configured(const QString &key, const char *buildDefault)
{
    QSettings settings;
    const QVariant stored = settings.value(key);
    QString address = stored.isValid() ? stored.toString().trimmed() : QString::fromUtf8(buildDefault);
    while (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    return address;
}

} // namespace

QString webServiceUrl()
{
    return configured(kWebServiceKey, QUAVDESK_WEB_SERVICE_URL_DEFAULT);
}

QString apiServerUrl()
{
    return configured(kApiServerKey, QUAVDESK_API_SERVER_URL_DEFAULT);
}

QString webSiteUrl()
{
    return configured(kWebSiteKey, QUAVDESK_WEB_SITE_URL_DEFAULT);
}

QString soundCardPageUrl()
{
    return configured(kSoundCardPageKey, QUAVDESK_SOUND_CARD_PAGE_URL_DEFAULT);
}

QString soundCardConfigUrl()
{
    return configured(kSoundCardConfigKey, QUAVDESK_SOUND_CARD_CONFIG_URL_DEFAULT);
}

} // namespace QVServiceAddresses
