#pragma once

#include <QString>

// The maker's addresses. Each comes from the settings key of its name when the
// store has that key, else from the build option of the same name; none has a
// default. An empty address turns its feature off: requests to it fail at
// once without sending anything. Addresses are returned without a final "/".
namespace QVServiceAddresses {

inline const QString kWebServiceKey = QStringLiteral("QUAVDESK_WEB_SERVICE_URL");
inline const QString kApiServerKey = QStringLiteral("QUAVDESK_API_SERVER_URL");
inline const QString kWebSiteKey = QStringLiteral("QUAVDESK_WEB_SITE_URL");
inline const QString kSoundCardPageKey = QStringLiteral("QUAVDESK_SOUND_CARD_PAGE_URL");
inline const QString kSoundCardConfigKey = QStringLiteral("QUAVDESK_SOUND_CARD_CONFIG_URL");

// The web service that answers the version requests.
QString webServiceUrl();
// The API server that receives feedback.
QString apiServerUrl();
// The web site with the download and privacy pages.
QString webSiteUrl();
// The page that offers the virtual sound card for download, and the remote
// configuration that says whether the receiver list offers it.
QString soundCardPageUrl();
QString soundCardConfigUrl();

} // namespace QVServiceAddresses
