// The per-device core of an upgrade, shared by MD_Upgrade and CV_Upgrade: boot programs
// for a mask-ROM device, the unit-ready test and the ID Block.
#pragma once

#include <array>
#include <cstdint>

#include "engine/device/records.h"
#include "engine/flash/loader_file.h"

namespace cv50::api {

// UpgradeDevice results.
inline constexpr int kUpgradeOk = 0;
inline constexpr int kUpgradeBootFailed = -1;
inline constexpr int kUpgradeTestFailed = -2;
inline constexpr int kUpgradeIdBlockFailed = -3;

struct UpgradeSizes {
    std::uint32_t imageSizeMB = 0;
    std::uint32_t systemDiskMB = 0;
    std::uint32_t configDiskMB = 0;
    bool hasSizeRecord = false;
};

// Brings `device` (MaskRom or Loader) to fresh ID Blocks; the device is not reset.
// `words` are the version and date words of the loader's head, `pieces` its unpacked
// pieces; a non-zero `idBlockMode` force-erases. kUpgradeOk or a negative result above.
int UpgradeDevice(const DEVICE_INFO& device, const UpgradeSizes& sizes,
                  const std::array<std::uint16_t, 3>& words, const flash::PiecePaths& pieces,
                  unsigned idBlockMode);

}  // namespace cv50::api
