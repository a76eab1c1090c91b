// The engine object for one operation on one device's flash: its geometry, its block-state
// map and the block positions planned for the ID Block and the system reserved blocks.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "engine/flash/flash_info.h"

namespace cv50::flash {

// Blocks searched for ID Block copies, and for the reserved ranges after them.
inline constexpr int kIdBlockLimit = 200;
inline constexpr int kReservedLimit = 512;
inline constexpr std::uint32_t kBadBlockChunk = 512;
inline constexpr std::uint32_t kEraseStep = 128;

class CFlashDevice {
public:
    // Forgets everything of a previous device and takes this one's path.
    void SetDevice(const std::string& path);

    // One CVU_ReadFlashInfo. 1 with `info` filled, 0 with `info` unchanged.
    [[nodiscard]] int GetFlashInfo(FlashInfo& info);
    // (Re)allocates and clears info.blockMap, then tests blocks 0-511 (at most blockCount).
    [[nodiscard]] int BuildFlashStateMap(int chip, FlashInfo& info);
    // Marks the bad blocks among `blockCount` blocks from `firstBlock` in `map`. 1 or 0.
    [[nodiscard]] int TestBadBlocks(int chip, std::uint32_t firstBlock, std::uint32_t blockCount,
                                    std::span<std::uint8_t> map);
    // Erases in steps of 128 blocks; bad blocks met are passed over. 1 or 0.
    [[nodiscard]] int EraseBlocks(int chip, std::uint32_t firstBlock, std::uint32_t count,
                                  int eraseKind);
    // Plans the five ID Block positions and the two reserved ranges on the map of chip 0.
    // 1 with the outputs set, 0 with them unchanged.
    [[nodiscard]] int MakeSysReservedBlockAddr(std::array<std::uint16_t, 5>& idb,
                                               std::uint16_t& firstReservedFirst,
                                               std::uint16_t& firstReservedLast,
                                               std::uint16_t& secondReservedFirst,
                                               std::uint16_t& secondReservedLast) const;
    // Logs the chips present; returns their total size in MB.
    std::uint32_t PrintChipTable() const;

    std::uint16_t reserved1First = 0, reserved1Last = 0, reserved2First = 0, reserved2Last = 0;
    std::array<std::uint16_t, 5> idbBlocks{};
    std::string devicePath;
    FlashInfo flashInfo;
};

}  // namespace cv50::flash
