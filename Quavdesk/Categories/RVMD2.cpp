#include "Categories/RVMD2_p.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// The permutation of 0..255 "constructed from the digits of pi".
constexpr std::array<std::uint8_t, 256> kPiSubstitution = {
    41,  46,  67,  201, 162, 216, 124, 1,   61,  54,  84,  161, 236, 240, 6,   19,
    98,  167, 5,   243, 192, 199, 115, 140, 152, 147, 43,  217, 188, 76,  130, 202,
    30,  155, 87,  60,  253, 212, 224, 22,  103, 66,  111, 24,  138, 23,  229, 18,
    190, 78,  196, 214, 218, 158, 222, 73,  160, 251, 245, 142, 187, 47,  238, 122,
    169, 104, 121, 145, 21,  178, 7,   63,  148, 194, 16,  137, 11,  34,  95,  33,
    128, 127, 93,  154, 90,  144, 50,  39,  53,  62,  204, 231, 191, 247, 151, 3,
    255, 25,  48,  179, 72,  165, 181, 209, 215, 94,  146, 42,  172, 86,  170, 198,
    79,  184, 56,  210, 150, 164, 125, 182, 118, 252, 107, 226, 156, 116, 4,   241,
    69,  157, 112, 89,  100, 113, 135, 32,  134, 91,  207, 101, 230, 45,  168, 2,
    27,  96,  37,  173, 174, 176, 185, 246, 28,  70,  97,  105, 52,  64,  126, 15,
    85,  71,  163, 35,  221, 81,  175, 58,  195, 92,  249, 206, 186, 197, 234, 38,
    44,  83,  13,  110, 133, 40,  132, 9,   211, 223, 205, 244, 65,  129, 77,  82,
    106, 220, 55,  200, 108, 193, 171, 250, 36,  225, 123, 8,   12,  189, 177, 74,
    120, 136, 149, 139, 227, 99,  232, 109, 233, 203, 213, 254, 59,  0,   29,  57,
    242, 239, 183, 14,  102, 88,  208, 228, 166, 119, 114, 248, 235, 117, 75,  10,
    49,  68,  80,  180, 143, 237, 31,  26,  219, 153, 141, 51,  159, 17,  131, 20,
};

constexpr std::size_t kBlock = 16;

struct Md2State {
    std::array<std::uint8_t, 48> x{};
    std::array<std::uint8_t, kBlock> checksum{};
    std::uint8_t lastChecksumByte = 0;

    void absorb(const std::uint8_t *block, bool updateChecksum)
    {
        for (std::size_t j = 0; j < kBlock; ++j) {
            x[kBlock + j] = block[j];
            x[2 * kBlock + j] = static_cast<std::uint8_t>(x[kBlock + j] ^ x[j]);
        }
        unsigned t = 0;
        for (unsigned round = 0; round < 18; ++round) {
            for (std::uint8_t &byte : x) {
                byte = static_cast<std::uint8_t>(byte ^ kPiSubstitution[t]);
                t = byte;
            }
            t = (t + round) & 0xFF;
        }
        if (!updateChecksum)
            return;
        // The checksum byte is xored in, as the reference code does; the
        // RFC's prose says "set", which its own test suite contradicts.
        for (std::size_t j = 0; j < kBlock; ++j) {
            checksum[j] = static_cast<std::uint8_t>(checksum[j] ^ kPiSubstitution[block[j] ^ lastChecksumByte]);
            lastChecksumByte = checksum[j];
        }
    }
};

} // namespace

QByteArray rvMD2Digest(const QByteArray &data)
{
    Md2State state;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    const std::size_t length = static_cast<std::size_t>(data.size());
    const std::size_t whole = length - length % kBlock;
    for (std::size_t offset = 0; offset < whole; offset += kBlock)
        state.absorb(bytes + offset, true);

    // Padding of n bytes of value n, 1 to 16, always present.
    std::array<std::uint8_t, kBlock> last{};
    const std::size_t rest = length - whole;
    if (rest > 0)
        std::memcpy(last.data(), bytes + whole, rest);
    const auto pad = static_cast<std::uint8_t>(kBlock - rest);
    for (std::size_t i = rest; i < kBlock; ++i)
        last[i] = pad;
    state.absorb(last.data(), true);

    const std::array<std::uint8_t, kBlock> checksum = state.checksum;
    state.absorb(checksum.data(), false);
    return QByteArray(reinterpret_cast<const char *>(state.x.data()), static_cast<qsizetype>(kBlock));
}
