// RC4 as the device applies it to ID Block sectors.
#include "sim/boot_rom/scrambler.h"

#include <array>
#include <utility>

namespace cv50::sim {
namespace {

// The key the device's boot ROM holds.
constexpr std::array<std::uint8_t, 16> kDeviceKey = {
    0x5A, 0xC3, 0x17, 0x9E, 0x42, 0xD8, 0x6B, 0x21, 0xF0, 0x3C, 0x8D, 0x74, 0xB5, 0x0E, 0xE9, 0x96};

}  // namespace

void unscrambleSector(std::span<std::uint8_t, 512> data) {
    std::array<std::uint8_t, 256> s{};
    for (unsigned i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    unsigned j = 0;
    for (unsigned i = 0; i < 256; ++i) {
        j = (j + s[i] + kDeviceKey[i % kDeviceKey.size()]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    unsigned x = 0, y = 0;
    for (std::uint8_t& b : data) {
        x = (x + 1) & 0xFF;
        y = (y + s[x]) & 0xFF;
        std::swap(s[x], s[y]);
        b ^= s[(s[x] + s[y]) & 0xFF];
    }
}

}  // namespace cv50::sim
