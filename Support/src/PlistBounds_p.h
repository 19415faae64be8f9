#pragma once

#include <string_view>

namespace Support::PlistBounds {

// Whether libplist may be given these bytes (see readBoundedPlist). Each
// reads the bytes once, without building anything per node.
bool binaryWithinBounds(std::string_view bytes);
bool xmlWithinBounds(std::string_view bytes);

} // namespace Support::PlistBounds
