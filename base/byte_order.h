// Little-endian fields inside fixed-size byte records (flash sectors, command blocks).
// Offsets are checked: a field that does not fit is a programming error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace cv50::base {

namespace detail {
inline void checkField(std::size_t size, std::size_t at, std::size_t width) {
    if (at > size || width > size - at) throw std::out_of_range("field outside its record");
}
}  // namespace detail

inline void storeLe16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    detail::checkField(b.size(), at, 2);
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void storeLe32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    detail::checkField(b.size(), at, 4);
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

[[nodiscard]] inline std::uint16_t loadLe16(std::span<const std::uint8_t> b, std::size_t at) {
    detail::checkField(b.size(), at, 2);
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

[[nodiscard]] inline std::uint32_t loadLe32(std::span<const std::uint8_t> b, std::size_t at) {
    detail::checkField(b.size(), at, 4);
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}

}  // namespace cv50::base
