#include "Main/ViewController/ShareScreen/QVShareScreenServices.h"

#include <optional>

namespace {

std::optional<QVShareScreenServices> &pageDefaultsSlot()
{
    static std::optional<QVShareScreenServices> services;
    return services;
}

QVShareScreenServices programServices()
{
    return QVShareScreenServices();
}

} // namespace

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
