// The engine object for one operation on one device's flash: its geometry, its block-state
// map and the block positions planned for the ID Block and the system reserved blocks.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/flash/bch.h"
#include "engine/flash/flash_info.h"
#include "engine/flash/id_block.h"
#include "engine/flash/id_block_image.h"
#include "engine/flash/id_block_read.h"

namespace cv50::flash {

// Blocks searched for ID Block copies, and for the reserved ranges after them.
inline constexpr int kIdBlockLimit = 200;
inline constexpr int kReservedLimit = 512;
inline constexpr std::uint32_t kBadBlockChunk = 512;
inline constexpr std::uint32_t kEraseStep = 128;
inline constexpr int kIdBlockCopies = 5;
inline constexpr int kWriteAttempts = 20;
inline constexpr std::uint32_t kSystemMarginMB = 10;

// WriteXIDBlock results.
inline constexpr int kXidDone = 0;
inline constexpr int kXidReplanned = 1;
inline constexpr int kXidEraseFailed = 2;
inline constexpr int kXidWriteFailed = 3;
inline constexpr int kXidReadFailed = 4;
inline constexpr int kXidCompareFailed = 5;

// The questions of an ID Block update, as the engine words them.
inline constexpr char kAskSystemDiskFormat[] =
    "The system disk size changed,need to format,data will lose,you want to continue?";
inline constexpr char kAskUserDiskFormat[] =
    "The user disk size changed bigger,need to format,data will lose,you want to continue?";
inline constexpr char kAskForceErase[] =
    "may have bad blocks behind reserved block,need to force erase,data will lose,want to "
    "continue?";

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

    // Stores both paths and takes their sizes from the file system (0 when unknown).
    void SetBootFiles(const std::string& dataPath, const std::string& bootPath);
    // diskSizesMB from systemDiskMB and diskSizesText.
    void ParseDiskSizes();

    // The ID Block fields of this object, without the files; reads chipInfo first when
    // it is stale.
    [[nodiscard]] IdBlockFields Fields();
    // Fields() with the two files read. False, logged, when a file cannot be read.
    [[nodiscard]] bool FieldsWithFiles(IdBlockFields& fields);
    // A fresh image of this object. False, logged, when it cannot be built.
    [[nodiscard]] bool MakeIDBlockData(IdBlockImage& image);

    // CVU_ReadSector in pieces of at most 20 sectors into `buffer` (count x 528 bytes).
    // 0, or the first failing result.
    [[nodiscard]] int ReadMultiSector(std::uint32_t firstSector, std::uint32_t count,
                                      std::span<std::uint8_t> buffer);
    // Writes and checks the five copies; on a failure re-plans the positions and the
    // reserved ranges. kXidDone, kXidReplanned (build and try again) or the failed step.
    [[nodiscard]] int WriteXIDBlock(std::array<std::uint16_t, 5>& blocks, FlashInfo& info,
                                    const IdBlockImage& image, bool eraseFirst);
    // Valid copies below block 200 (0-5); their blocks go to idbBlocks, ascending.
    [[nodiscard]] int FindAllIDB();
    // Reads the current ID Block and merges the boot files and this object's settings
    // into it. `plain` gets the unscrambled image of N sectors. 1 or 0.
    [[nodiscard]] int UpdateIDBData(IdBlockImage& plain, bool force, std::size_t& bootSectors);
    // The upgrade step: full write (`fullWrite`) or update of the copies, with the erases
    // that go with it. 0 or a negative code.
    [[nodiscard]] int WriteIDBlock(bool forceErase, bool fullWrite);
    // Erases the blocks up to the end of the reserved ranges a copy records. 1 or 0.
    [[nodiscard]] int EraseIDBArea();

    // Takes the serial number (when its length is above 0; at most 500 bytes) and a
    // marked MAC from an unscrambled sector 3. `keepOwn`: a serial number this object
    // already has stays.
    void TakeStoredSerial(std::span<const std::uint8_t, kSectorDataBytes> sector3, bool keepOwn);

    // Takes the copy positions and reserved ranges recorded in a copy's sector 1,
    // correcting them as the copies found say (logged when `announce`). False when the
    // recorded positions are unusable.
    [[nodiscard]] bool TakeRecordedLayout(IdBlockLayout layout, bool announce);
    // Writes, reads back and compares one copy. kXidDone or the failed step; a failed
    // compare logs `checkFailedLine`.
    [[nodiscard]] int WriteOneCopy(int copy, std::uint16_t block, const IdBlockImage& image,
                                   bool eraseFirst,
                                   const char* checkFailedLine = "ERROR:check failed");

    // The first four sectors of the copy at `block`, sectors 0, 2 and 3 unscrambled.
    // 0 or the failing result.
    [[nodiscard]] int ReadIdBlockHead(std::uint16_t block, IdBlockImage& head);

    // Sends one command (a CVU_ call), unless the device has already let one run out of its
    // time bound: it is still on the bus but answers nothing, and each further command of
    // the hundreds an ID Block search or write sends would cost the bound again.
    template <typename Command>
    [[nodiscard]] int Ask(Command command) {
        if (silent) return CVU_ERR_TIMEOUT;
        const int result = command();
        if (result == CVU_ERR_TIMEOUT) silent = true;
        return result;
    }
    bool silent = false;

    std::array<std::uint16_t, 3> loaderWords{};
    std::uint16_t reserved1First = 0, reserved1Last = 0, reserved2First = 0, reserved2Last = 0;
    std::array<std::uint16_t, 5> idbBlocks{};
    std::array<std::uint8_t, 16> chipInfo{};
    std::uint32_t chipInfoStale = 1;
    std::string flashBootPath;
    std::uint32_t flashBootSize = 0;
    std::string flashDataPath;
    std::uint32_t flashDataSize = 0;
    std::string devicePath;
    FlashInfo flashInfo;
    std::uint32_t formatNeeded = 0;
    std::uint32_t systemDiskMB = 0;
    std::uint32_t systemCheckMB = 0;
    std::vector<std::uint8_t> snData;  // snLength is its size, at most 500
    std::uint32_t hasMac = 0;
    std::array<std::uint8_t, 6> mac{};
    std::string diskSizesText;
    std::array<std::uint16_t, 4> diskSizesMB{};
    std::uint32_t fiveCopiesFound = 0;
    std::uint32_t noSystemMargin = 0;
    // When set, an update asks these OK/Cancel questions before it corrects copy positions
    // that differ from those recorded, or a wrong reserved-block value; Cancel keeps the
    // recorded values. Empty: it corrects without asking.
    std::string askBeforeOffsetCorrection;
    std::string askBeforeReservedCorrection;
    // The OK/Cancel questions before an update formats a disk that changed size, or erases
    // the blocks behind the reserved ones by force; a program may word them in its language.
    std::string askSystemDiskFormat = kAskSystemDiskFormat;
    std::string askUserDiskFormat = kAskUserDiskFormat;
    std::string askForceErase = kAskForceErase;

private:
    // Moves copy `failed` and the later ones past failing blocks and plans the reserved
    // ranges after them. False when a search finds no block.
    bool Replan(std::array<std::uint16_t, 5>& blocks, FlashInfo& info, int failed);
    int FullWrite(const BchCode& bch, bool forceErase);
    int UpdateWrite(const BchCode& bch, bool forceErase);
    int EraseBehindReserved();
};

}  // namespace cv50::flash
