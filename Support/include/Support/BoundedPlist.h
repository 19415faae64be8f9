#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace Support {

// What a property list from outside may hold before it is handed to
// libplist, which copies every shared reference of a binary list and walks
// nesting by recursion.
//
// Containers (arrays, sets, dictionaries) nest at most this deep: an array
// of scalars is depth 1.
inline constexpr int kPlistMaxDepth = 512;
// Nodes once shared references are expanded: every value, dictionary keys
// included. Far above any message of the protocol (tens of values), and low
// enough that the largest tree a hostile list of a few hundred bytes may
// expand to costs well under a second to copy and convert. The bound is the
// same whatever the list's size, so that a value written and read back is
// judged alike however the writer shares its parts.
inline constexpr std::uint64_t kPlistMaxNodes = 100'000;
// Bytes of text and data that shared references may add beyond the list's
// own bytes once expanded.
inline constexpr std::uint64_t kPlistMaxSharedBytes = std::uint64_t(32) << 20;

struct PlistFree {
    void operator()(void *node) const;
};
// Owns a libplist tree (a plist_t).
using PlistPtr = std::unique_ptr<void, PlistFree>;

// The tree of binary ("bplist00") or XML property-list bytes, or nothing.
// The bytes are checked before libplist sees them: beyond the bounds above,
// a binary list whose references loop or point outside it, a dictionary key
// that is not a text or holds NUL (libplist aborts on those), and values
// that libplist 2.2 would hand back wrong are refused: integers from 2^63 up
// or below -2^63, dates before 1932-12-13 or after 2069-01-19 (whole seconds
// from 2001 beyond 32 bits), dates before 2001 with a fraction of a second,
// and XML dates not written as "YYYY-MM-DDTHH:MM:SSZ".
PlistPtr readBoundedPlist(std::string_view bytes);

} // namespace Support
