// Tests: what a player's flash holds, judged by the simulator rather than by the engine that
// wrote it: the mode it runs in, the image its disk firmware found, the files on its user
// volume and the serial number and MAC of its ID Block copies.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_os.h"

namespace cv50::cli::testing {

// The mode of the world's first player once it is back on the bus, or "gone".
std::string modeName(sim::SimOs& sim);

// The bytes of `path` on the user volume of the world's first player while it runs as a
// disk; nothing when there is no such volume, file system or file.
std::optional<std::vector<std::uint8_t>> userVolumeFile(sim::SimOs& sim, const std::string& path);

// The system version of the image the first player's disk firmware started from.
std::optional<std::uint32_t> runningSystemVersion(sim::SimOs& sim);

struct StoredSerial {
    std::vector<std::uint8_t> sn;
    std::optional<std::array<std::uint8_t, 6>> mac;
    bool operator==(const StoredSerial&) const = default;
};
// Every valid ID Block copy of chip 0 below block 200 of `nand`, as the boot ROM judges it.
std::vector<StoredSerial> idBlockSerials(const sim::Nand& nand);

}  // namespace cv50::cli::testing
