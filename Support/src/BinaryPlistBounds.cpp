#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "PlistBounds_p.h"
#include "Support/BoundedPlist.h"

namespace Support::PlistBounds {

namespace {

constexpr std::uint64_t kHeader = 8;   // "bplist00"
constexpr std::uint64_t kTrailer = 32;

// What the walk knows of one object. Counts saturate just above their bound.
struct Info {
    enum State : std::uint8_t { Unseen, Open, Done };
    State state = Unseen;
    bool keyChecked = false;
    std::uint16_t height = 0;     // containers on the longest path down
    std::uint32_t nodes = 0;      // expanded
    std::uint64_t bytes = 0;      // text and data, expanded
};

// A container whose references are being followed.
struct Frame {
    std::uint64_t object;
    std::uint64_t refsAt;
    std::uint64_t refs;      // all of them; a dictionary's keys come first
    std::uint64_t keys;      // how many of them are keys
    std::uint64_t next = 0;
    Info sum;
};

class Walk
{
public:
    explicit Walk(std::string_view bytes) : m_bytes(bytes), m_size(bytes.size()) {}

    bool run()
    {
        if (m_size < kHeader + kTrailer + 2)
            return false;
        const std::uint64_t trailer = m_size - kTrailer;
        m_offsetWidth = byte(trailer + 6);
        m_refWidth = byte(trailer + 7);
        m_objects = *number(trailer + 8, 8);
        const std::uint64_t root = *number(trailer + 16, 8);
        m_table = *number(trailer + 24, 8);
        if (m_offsetWidth < 1 || m_offsetWidth > 8 || m_refWidth < 1 || m_refWidth > 8 || m_table < kHeader + 1
            || m_table > trailer || m_objects == 0 || m_objects > (trailer - m_table) / m_offsetWidth
            || root >= m_objects)
            return false;
        // The list's own text and data are at most its size; sharing may add
        // a bounded amount on top.
        m_maxBytes = m_size + kPlistMaxSharedBytes;
        m_infos.resize(m_objects);
        return walkFrom(root);
    }

private:
    std::uint64_t byte(std::uint64_t at) const { return static_cast<unsigned char>(m_bytes[at]); }

    // Big-endian unsigned number of `width` bytes at `at`, inside the
    // object area or the trailer.
    std::optional<std::uint64_t> number(std::uint64_t at, std::uint64_t width) const
    {
        if (width == 0 || width > 8 || at > m_size || width > m_size - at)
            return std::nullopt;
        std::uint64_t value = 0;
        for (std::uint64_t i = 0; i < width; ++i)
            value = (value << 8) | byte(at + i);
        return value;
    }

    // Whether `length` bytes from `at` lie between the header and the
    // offset table, where objects live.
    bool inObjects(std::uint64_t at, std::uint64_t length) const
    {
        return at >= kHeader && at <= m_table && length <= m_table - at;
    }

    std::optional<std::uint64_t> offsetOf(std::uint64_t object) const
    {
        const std::optional<std::uint64_t> at = number(m_table + object * m_offsetWidth, m_offsetWidth);
        if (!at || !inObjects(*at, 1))
            return std::nullopt;
        return at;
    }

    // The count in the marker at `at`, or the integer object after it for
    // counts of 15 and more; and where the content starts.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> count(std::uint64_t at) const
    {
        const std::uint64_t small = byte(at) & 0x0F;
        if (small != 0x0F)
            return std::make_pair(small, at + 1);
        if (!inObjects(at + 1, 1))
            return std::nullopt;
        const std::uint64_t intMarker = byte(at + 1);
        if ((intMarker & 0xF0) != 0x10 || (intMarker & 0x0F) > 3)
            return std::nullopt;
        const std::uint64_t width = std::uint64_t(1) << (intMarker & 0x0F);
        if (!inObjects(at + 2, width))
            return std::nullopt;
        return std::make_pair(*number(at + 2, width), at + 2 + width);
    }

    // A leaf's text and data bytes, checked; nothing when libplist must not
    // see it.
    std::optional<std::uint64_t> leaf(std::uint64_t at) const
    {
        const std::uint64_t marker = byte(at);
        const std::uint64_t info = marker & 0x0F;
        switch (marker >> 4) {
        case 0x0: // null, booleans, fill
            return 0;
        case 0x1: { // integer of 1, 2, 4, 8 (signed) or 16 bytes
            if (info > 4 || !inObjects(at + 1, std::uint64_t(1) << info))
                return std::nullopt;
            if (info == 4) {
                // libplist keeps the low 64 bits: only a 128-bit value that
                // fits a signed 64-bit one reads back right.
                const std::uint64_t high = *number(at + 1, 8);
                const std::uint64_t low = *number(at + 9, 8);
                const bool top = (low >> 63) != 0;
                if (!(high == 0 && !top) && !(high == ~std::uint64_t(0) && top))
                    return std::nullopt;
            }
            return 0;
        }
        case 0x2: // real of 4 or 8 bytes
            if (info < 2 || info > 3 || !inObjects(at + 1, std::uint64_t(1) << info))
                return std::nullopt;
            return 0;
        case 0x3: { // date: seconds from 2001 as an 8-byte real
            if (info != 3 || !inObjects(at + 1, 8))
                return std::nullopt;
            const std::uint64_t bits = *number(at + 1, 8);
            double seconds = 0;
            std::memcpy(&seconds, &bits, sizeof seconds);
            return dateFits(seconds) ? std::optional<std::uint64_t>(0) : std::nullopt;
        }
        case 0x4:   // data
        case 0x5:   // ASCII text
        case 0x6: { // UTF-16 text
            const auto counted = count(at);
            const std::uint64_t unit = (marker >> 4) == 0x6 ? 2 : 1;
            if (!counted || counted->first > m_size / unit || !inObjects(counted->second, counted->first * unit))
                return std::nullopt;
            return counted->first * unit;
        }
        case 0x8: // UID of 1 to 8 bytes; libplist hands it back unsigned
            if (info > 7 || !inObjects(at + 1, info + 1) || (info == 7 && (byte(at + 1) & 0x80)))
                return std::nullopt;
            return 0;
        default:
            return std::nullopt;
        }
    }

    static bool dateFits(double seconds)
    {
        // libplist 2.2 hands dates back as 32-bit whole seconds and a
        // microsecond count without sign.
        if (!std::isfinite(seconds))
            return false;
        const double whole = std::trunc(seconds);
        if (whole < -2147483648.0 || whole > 2147483647.0)
            return false;
        return seconds >= 0 || whole == seconds;
    }

    // A dictionary key: a text without NUL.
    bool keyReadable(std::uint64_t object)
    {
        Info &info = m_infos[object];
        if (info.keyChecked)
            return true;
        const std::optional<std::uint64_t> at = offsetOf(object);
        if (!at)
            return false;
        const std::uint64_t type = byte(*at) >> 4;
        if (type != 0x5 && type != 0x6)
            return false;
        const auto counted = count(*at);
        const std::uint64_t unit = type == 0x6 ? 2 : 1;
        if (!counted || counted->first > m_size / unit || !inObjects(counted->second, counted->first * unit))
            return false;
        for (std::uint64_t i = 0; i < counted->first; ++i) {
            if (*number(counted->second + i * unit, unit) == 0)
                return false;
        }
        info.keyChecked = true;
        return true;
    }

    // Opens an unseen object: a leaf is done at once, a container becomes a
    // frame. False when it must be refused.
    bool open(std::uint64_t object)
    {
        const std::optional<std::uint64_t> at = offsetOf(object);
        if (!at)
            return false;
        const std::uint64_t type = byte(*at) >> 4;
        if (type == 0xA || type == 0xC || type == 0xD) {
            if (m_stack.size() >= std::size_t(kPlistMaxDepth))
                return false;
            const auto counted = count(*at);
            const std::uint64_t perEntry = type == 0xD ? 2 : 1;
            if (!counted || counted->first > m_size / (perEntry * m_refWidth)
                || !inObjects(counted->second, counted->first * perEntry * m_refWidth))
                return false;
            m_infos[object].state = Info::Open;
            m_stack.push_back(Frame{object, counted->second, counted->first * perEntry,
                                    type == 0xD ? counted->first : 0, 0, Info()});
            return true;
        }
        const std::optional<std::uint64_t> bytes = leaf(*at);
        if (!bytes)
            return false;
        Info &info = m_infos[object];
        info.state = Info::Done;
        info.nodes = 1;
        info.bytes = *bytes;
        return true;
    }

    // Adds a finished child to the frame on top; false beyond a bound.
    bool add(const Info &child)
    {
        Frame &frame = m_stack.back();
        if (m_stack.size() + child.height > std::size_t(kPlistMaxDepth))
            return false;
        frame.sum.height = std::max<std::uint16_t>(frame.sum.height, child.height);
        frame.sum.nodes = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(std::uint64_t(frame.sum.nodes) + child.nodes, kPlistMaxNodes + 1));
        frame.sum.bytes = std::min(frame.sum.bytes + child.bytes, m_maxBytes + 1);
        // Every open frame holds at least this much, the root included.
        return frame.sum.nodes < kPlistMaxNodes && frame.sum.bytes <= m_maxBytes;
    }

    bool walkFrom(std::uint64_t root)
    {
        if (!open(root))
            return false;
        while (!m_stack.empty()) {
            Frame &frame = m_stack.back();
            if (frame.next == frame.refs) {
                Info done = frame.sum;
                done.state = Info::Done;
                done.keyChecked = m_infos[frame.object].keyChecked;
                done.height = static_cast<std::uint16_t>(done.height + 1);
                done.nodes += 1;
                m_infos[frame.object] = done;
                m_stack.pop_back();
                if (!m_stack.empty() && !add(done))
                    return false;
                continue;
            }
            const bool isKey = frame.next < frame.keys;
            const std::uint64_t child = *number(frame.refsAt + frame.next * m_refWidth, m_refWidth);
            ++frame.next;
            if (child >= m_objects || (isKey && !keyReadable(child)))
                return false;
            const Info::State state = m_infos[child].state;
            if (state == Info::Open)
                return false; // a loop
            if (state == Info::Unseen && !open(child))
                return false;
            if (m_infos[child].state == Info::Done && !add(m_infos[child]))
                return false;
        }
        return m_infos[root].nodes <= kPlistMaxNodes && m_infos[root].bytes <= m_maxBytes;
    }

    const std::string_view m_bytes;
    const std::uint64_t m_size;
    std::uint64_t m_offsetWidth = 0;
    std::uint64_t m_refWidth = 0;
    std::uint64_t m_objects = 0;
    std::uint64_t m_table = 0;
    std::uint64_t m_maxBytes = 0;
    std::vector<Info> m_infos;
    std::vector<Frame> m_stack;
};

} // namespace

bool binaryWithinBounds(std::string_view bytes)
{
    return Walk(bytes).run();
}

} // namespace Support::PlistBounds
