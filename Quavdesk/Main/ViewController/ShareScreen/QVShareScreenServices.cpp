#include "Main/ViewController/ShareScreen/QVShareScreenServices.h"

#include "PublicManager/QVPlatform.h"

#include <optional>

namespace {

std::optional<QVShareScreenServices> &pageDefaultsSlot()
{
    static std::optional<QVShareScreenServices> services;
    return services;
}

QVShareScreenServices programServices()
{
    return QVShareScreenServices::fromPlatform(QVPlatform::services());
}

} // namespace

QVShareScreenServices QVShareScreenServices::fromPlatform(const Platform::PlatformServices &platform)
{
    QVShareScreenServices services;
    services.remoteInputConsent = platform.remoteInputConsent;
    services.settings = platform.store;
    return services;
}

QVShareScreenServices QVShareScreenServices::pageDefaults()
{
    const std::optional<QVShareScreenServices> &set = pageDefaultsSlot();
    return set ? *set : programServices();
}

void QVShareScreenServices::setPageDefaults(QVShareScreenServices services)
{
    pageDefaultsSlot() = std::move(services);
}

void QVShareScreenServices::resetPageDefaults()
{
    pageDefaultsSlot().reset();
}
