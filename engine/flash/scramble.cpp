// RC4 scrambling of ID Block sectors.
#include "engine/flash/scramble.h"

#include <array>
#include <utility>

namespace cv50::flash {
namespace {

constexpr std::size_t kKeyBytes = 16;

// The key is assembled when needed so that it never sits whole in the binary.
std::array<std::uint8_t, kKeyBytes> scrambleKey() {
    static constexpr std::uint8_t kSeed[kKeyBytes] = {0xFD, 0x27, 0x36, 0xC0, 0xD9, 0x00,
                                                      0x7E, 0x73, 0x7F, 0xF0, 0x84, 0x32,
                                                      0x36, 0xCE, 0x14, 0xAC};
    std::array<std::uint8_t, kKeyBytes> key{};
    for (std::size_t i = 0; i < kKeyBytes; ++i) {
        key[i] = static_cast<std::uint8_t>(kSeed[i] ^ (0xA7 + 0x3D * i));
    }
    return key;
}

}  // namespace

void ScrambleSector(std::span<std::uint8_t, kSectorDataBytes> sector) {
    const auto key = scrambleKey();
    std::array<std::uint8_t, 256> state{};
    for (std::size_t i = 0; i < state.size(); ++i) state[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < state.size(); ++i) {
        j = static_cast<std::uint8_t>(j + state[i] + key[i % kKeyBytes]);
        std::swap(state[i], state[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (std::uint8_t& byte : sector) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + state[a]);
        std::swap(state[a], state[b]);
        byte ^= state[static_cast<std::uint8_t>(state[a] + state[b])];
    }
}

void ScrambleIdBlock(IdBlockImage& image) {
    for (std::size_t i : {0, 2, 3}) ScrambleSector(image.data(i));
}

}  // namespace cv50::flash
