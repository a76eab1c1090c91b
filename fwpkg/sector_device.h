// A device of 512-byte sectors: a player's disk as the file system code sees it.
#pragma once

#include <cstdint>
#include <span>

namespace cv50::fwpkg {

inline constexpr std::size_t kSectorBytes = 512;

class SectorDevice {
public:
    virtual ~SectorDevice() = default;
    virtual std::uint64_t sectorCount() const = 0;
    // Whole sectors from `first` on; out.size() and in.size() are multiples of 512.
    // False when the range is outside the device or the medium fails.
    [[nodiscard]] virtual bool read(std::uint64_t first, std::span<std::uint8_t> out) = 0;
    [[nodiscard]] virtual bool write(std::uint64_t first, std::span<const std::uint8_t> in) = 0;
};

}  // namespace cv50::fwpkg
