// CFlashDevice: device selection and the flash geometry steps.
#include "engine/flash/flash_device.h"

#include <algorithm>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"

namespace cv50::flash {

void CFlashDevice::SetDevice(const std::string& path) {
    *this = CFlashDevice{};
    devicePath = path;
}

int CFlashDevice::GetFlashInfo(FlashInfo& info) {
    std::uint8_t raw[kRawFlashInfoSize] = {};
    if (CVU_ReadFlashInfo(devicePath.c_str(), raw) != 0) return 0;
    FlashInfo decoded = info;
    if (!decodeFlashInfo(raw, decoded)) return 0;
    // A map of another geometry would be indexed past its end.
    if (decoded.blockMap.size() != decoded.blockCount) decoded.blockMap.clear();
    info = std::move(decoded);
    return 1;
}

int CFlashDevice::BuildFlashStateMap(int chip, FlashInfo& info) {
    info.blockMap.assign(info.blockCount, 0);
    const std::uint32_t tested = std::min(kBadBlockChunk, info.blockCount);
    return TestBadBlocks(chip, 0, tested, info.blockMap);
}

int CFlashDevice::TestBadBlocks(int chip, std::uint32_t firstBlock, std::uint32_t blockCount,
                                std::span<std::uint8_t> map) {
    for (std::uint32_t done = 0; done < blockCount;) {
        const std::uint32_t n = std::min(kBadBlockChunk, blockCount - done);
        const bool remainder = n < kBadBlockChunk;
        const std::uint32_t start = firstBlock + done;
        std::uint8_t bitmap[kBadBlockChunk / 8] = {};
        const int result = CVU_TestBadBlock(devicePath.c_str(), chip, start, n, bitmap);
        if (result != 0 && result != CVU_BAD_BLOCK) {
            if (remainder)
                Log("ERROR:test bad block failed,ErrCode(%d)", result);
            else
                Log("ERROR:test bad block failed,ErrCode(%d)\r\n", result);
            return 0;
        }
        if (result == CVU_BAD_BLOCK) {
            for (std::uint32_t i = 0; i < n; ++i) {
                const std::size_t block = std::size_t{start} + i;
                if ((bitmap[i / 8] >> (i % 8)) & 1 && block < map.size()) map[block] = 1;
            }
        }
        done += n;
    }
    return 1;
}

int CFlashDevice::EraseBlocks(int chip, std::uint32_t firstBlock, std::uint32_t count,
                              int eraseKind) {
    for (std::uint32_t done = 0; done < count;) {
        const std::uint32_t n = std::min(kEraseStep, count - done);
        const std::uint32_t first = firstBlock + done;
        Log("Flash(%d) - Erasing: %08u ~ %08u ... ", chip, first, first + n - 1);
        const int result = CVU_EraseBlock(devicePath.c_str(), chip, first, n, eraseKind);
        if (result == CVU_BAD_BLOCK) {
            Log("Bad Block");
        } else if (result == 0) {
            Log("Good Block");
        } else {
            Log("Failed");
            return 0;
        }
        done += n;
    }
    return 1;
}

int CFlashDevice::MakeSysReservedBlockAddr(std::array<std::uint16_t, 5>& idb,
                                           std::uint16_t& firstReservedFirst,
                                           std::uint16_t& firstReservedLast,
                                           std::uint16_t& secondReservedFirst,
                                           std::uint16_t& secondReservedLast) const {
    const std::span<const std::uint8_t> map = flashInfo.blockMap;
    std::array<std::uint16_t, 5> positions{};
    int next = 0;
    // Each search starts one past the block the previous one found.
    auto take = [&](int limit) {
        const int block = FindGoodBlock(map, limit, next, 1);
        if (block >= 0) next = block + 1;
        return block;
    };
    for (auto& p : positions) {
        const int block = take(kIdBlockLimit);
        if (block < 0) return 0;
        p = static_cast<std::uint16_t>(block);
    }
    int reserved[7];
    for (int& r : reserved)
        if ((r = take(kReservedLimit)) < 0) return 0;
    idb = positions;
    firstReservedFirst = static_cast<std::uint16_t>(reserved[0]);
    firstReservedLast = static_cast<std::uint16_t>(reserved[4]);
    secondReservedFirst = static_cast<std::uint16_t>(reserved[5]);
    secondReservedLast = static_cast<std::uint16_t>(reserved[6]);
    return 1;
}

std::uint32_t CFlashDevice::PrintChipTable() const {
    const char* dashes = "----------------------------------------------";
    Log("Flash chip info:");
    Log("NO\t\tSIZE(MB)\tManufacturer");
    Log("%s", dashes);
    std::uint32_t total = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((flashInfo.chipMask >> i) & 1)) continue;
        Log("%d\t\t%uMB\t%s", i, flashInfo.sizeMB, flashInfo.manufacturer.c_str());
        total += flashInfo.sizeMB;
    }
    Log("%s", dashes);
    return total;
}

}  // namespace cv50::flash
