// CFlashDevice: device selection and the flash geometry steps.
#include "engine/flash/flash_device.h"

#include <algorithm>
#include <charconv>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"
#include "engine/os/os.h"

namespace cv50::flash {

void CFlashDevice::SetDevice(const std::string& path) {
    *this = CFlashDevice{};
    devicePath = path;
}

void CFlashDevice::SetBootFiles(const std::string& dataPath, const std::string& bootPath) {
    os::Os& sys = os::current();
    // A size past 32 bits is refused later as too large, never wrapped to a small one.
    auto sizeOf = [&](const std::string& path) -> std::uint32_t {
        const auto size = sys.fileSize(path);
        if (!size) return 0;
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(*size, 0xFFFFFFFFu));
    };
    flashDataPath = dataPath;
    flashBootPath = bootPath;
    flashDataSize = sizeOf(dataPath);
    flashBootSize = sizeOf(bootPath);
}

void CFlashDevice::ParseDiskSizes() {
    // A size past 16 bits saturates, so the check against the flash size refuses it.
    auto clamp = [](std::uint64_t mb) {
        return static_cast<std::uint16_t>(std::min<std::uint64_t>(mb, 0xFFFF));
    };
    diskSizesMB = {clamp(systemDiskMB), 0, 0, 0};
    std::size_t slot = 1;
    std::string_view rest = diskSizesText;
    while (!rest.empty() && slot < diskSizesMB.size()) {
        const std::size_t colon = rest.find(':');
        const std::string_view item = rest.substr(0, colon);
        std::uint64_t mb = 0;
        std::from_chars(item.data(), item.data() + item.size(), mb);  // not a number: 0
        diskSizesMB[slot++] = clamp(mb);
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
}

int CFlashDevice::GetFlashInfo(FlashInfo& info) {
    std::uint8_t raw[kRawFlashInfoSize] = {};
    if (Ask([&] { return CVU_ReadFlashInfo(devicePath.c_str(), raw); }) != 0) return 0;
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
        const int result =
            Ask([&] { return CVU_TestBadBlock(devicePath.c_str(), chip, start, n, bitmap); });
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
        const int result =
            Ask([&] { return CVU_EraseBlock(devicePath.c_str(), chip, first, n, eraseKind); });
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

namespace {

// The seven reserved blocks in good blocks from `start` on, below 512: the first range
// spans the first five, the second the last two. False when there are not enough.
bool planReservedRanges(std::span<const std::uint8_t> map, int start,
                        std::array<std::uint16_t, 4>& ranges) {
    int reserved[7];
    for (int& r : reserved) {
        if ((r = FindGoodBlock(map, kReservedLimit, start, 1)) < 0) return false;
        start = r + 1;
    }
    ranges = {static_cast<std::uint16_t>(reserved[0]), static_cast<std::uint16_t>(reserved[4]),
              static_cast<std::uint16_t>(reserved[5]), static_cast<std::uint16_t>(reserved[6])};
    return true;
}

}  // namespace

int CFlashDevice::MakeSysReservedBlockAddr(std::array<std::uint16_t, 5>& idb,
                                           std::uint16_t& firstReservedFirst,
                                           std::uint16_t& firstReservedLast,
                                           std::uint16_t& secondReservedFirst,
                                           std::uint16_t& secondReservedLast) const {
    const std::span<const std::uint8_t> map = flashInfo.blockMap;
    std::array<std::uint16_t, 5> positions{};
    int next = 0;
    // Each search starts one past the block the previous one found.
    for (auto& p : positions) {
        const int block = FindGoodBlock(map, kIdBlockLimit, next, 1);
        if (block < 0) return 0;
        p = static_cast<std::uint16_t>(block);
        next = block + 1;
    }
    std::array<std::uint16_t, 4> ranges{};
    if (!planReservedRanges(map, next, ranges)) return 0;
    idb = positions;
    firstReservedFirst = ranges[0];
    firstReservedLast = ranges[1];
    secondReservedFirst = ranges[2];
    secondReservedLast = ranges[3];
    return 1;
}

bool CFlashDevice::Replan(std::array<std::uint16_t, 5>& blocks, FlashInfo& info, int failed) {
    std::span<std::uint8_t> map = info.blockMap;
    if (blocks[failed] < map.size()) map[blocks[failed]] = 1;
    // Later copies move on whenever they no longer lie behind their predecessor, so the
    // copies stay in distinct blocks in ascending order.
    for (int i = failed; i < kIdBlockCopies; ++i) {
        if (i > failed && blocks[i] > blocks[i - 1]) continue;
        const int after = i == failed ? blocks[i] : blocks[i - 1];
        const int block = FindGoodBlock(map, kIdBlockLimit, after + 1, 1);
        if (block < 0) return false;
        blocks[i] = static_cast<std::uint16_t>(block);
    }
    std::array<std::uint16_t, 4> ranges{};
    if (!planReservedRanges(map, blocks[4] + 1, ranges)) return false;
    reserved1First = ranges[0];
    reserved1Last = ranges[1];
    reserved2First = ranges[2];
    reserved2Last = ranges[3];
    return true;
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
