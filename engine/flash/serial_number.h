// The serial number and MAC address kept in sector 3 of a loader device's ID Block.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/flash/id_block_read.h"

namespace cv50::flash {

// What sector 3 of the first copy holds; nothing (logged) when it cannot be read.
[[nodiscard]] std::optional<SerialNumberRecord> ReadStoredSerialNumber(
    const std::string& devicePath);

// True, with `out` filled, when the stored serial number has exactly out.size() bytes.
[[nodiscard]] bool ReadSerialNumberExactly(const std::string& devicePath,
                                           std::span<std::uint8_t> out);

// Rewrites all five copies with `sn` (cut to 500 bytes) and everything else unchanged;
// a stored MAC is kept unless `mac` gives a new one. True when every copy was written
// and verified.
[[nodiscard]] bool WriteSerialNumber(const std::string& devicePath,
                                     std::span<const std::uint8_t> sn,
                                     const std::optional<std::array<std::uint8_t, 6>>& mac = {});

}  // namespace cv50::flash
