#include "Support/BoundedPlist.h"

#include <limits>
#include <plist/plist.h>

#include "PlistBounds_p.h"

namespace Support {

void PlistFree::operator()(void *node) const
{
    plist_free(static_cast<plist_t>(node));
}

PlistPtr readBoundedPlist(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max())
        return nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    plist_t parsed = nullptr;
    if (plist_is_binary(bytes.data(), length)) {
        if (!PlistBounds::binaryWithinBounds(bytes))
            return nullptr;
        plist_from_bin(bytes.data(), length, &parsed);
    }
    else {
        if (!PlistBounds::xmlWithinBounds(bytes))
            return nullptr;
        plist_from_xml(bytes.data(), length, &parsed);
    }
    return PlistPtr(parsed);
}

} // namespace Support
