// The disk sizes a command gives CV_Upgrade: the partition vector of the image size and the
// PARTITION numbers, and the system and configuration disk sizes X and Y made from it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace cv50::updater {

// [0] the image size in MiB, [1..3] the first three numbers of `partition` split at ":"
// (decimal, as far as digits go; missing or empty ones are 0). A value beyond 16 bits is held
// at 65535 rather than wrapped into a smaller size.
using PartitionVector = std::array<std::uint16_t, 4>;
PartitionVector partitionVector(std::uint32_t imageSizeMB, std::u16string_view partition);

struct DiskSizes {
    std::uint32_t systemMB = 0;  // X
    std::uint32_t configMB = 0;  // Y
};

// With the image's size record: X its system disk, Y the larger of [1] and its
// configuration disk. Without: X = [0], Y = [1].
DiskSizes diskSizes(const PartitionVector& partition, bool hasSizeRecord,
                    std::uint32_t imageSystemMB, std::uint32_t imageConfigMB);

}  // namespace cv50::updater
