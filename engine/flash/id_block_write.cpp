// CFlashDevice: the upgrade step that writes the ID Block, in full on a device that came
// up from the mask ROM or as an update of the copies a loader device already has.
#include <algorithm>
#include <numeric>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"
#include "engine/flash/flash_device.h"
#include "engine/flash/id_block_read.h"
#include "engine/flash/scramble.h"
#include "engine/flash/user_prompt.h"

namespace cv50::flash {
namespace {

constexpr const char* kPromptCaption = "Prompt";

std::uint16_t saturate16(std::uint32_t v) {
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(v, 0xFFFF));
}

// Recorded copy positions come from the flash: they must be distinct blocks, ascending,
// below the ID Block limit.
bool usablePositions(const std::array<std::uint16_t, 5>& blocks) {
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i] >= kIdBlockLimit) return false;
        if (i > 0 && blocks[i] <= blocks[i - 1]) return false;
    }
    return true;
}

}  // namespace

bool CFlashDevice::TakeRecordedLayout(IdBlockLayout layout, bool announce) {
    auto rangesBehindCopies = [&] {
        const std::uint16_t last = idbBlocks[4];
        layout.reserved1First = static_cast<std::uint16_t>(last + 1);
        layout.reserved1Last = static_cast<std::uint16_t>(last + 5);
        layout.reserved2First = static_cast<std::uint16_t>(last + 6);
        layout.reserved2Last = static_cast<std::uint16_t>(last + 7);
        layout.firstFreeBlock = static_cast<std::uint16_t>(last + 8);
    };
    // A program may ask before either correction; its Cancel keeps what the copy records.
    const auto corrects = [&](const std::string& question) {
        return !announce || question.empty() || AskOkCancel(question, kPromptCaption);
    };
    if (fiveCopiesFound) {
        if (idbBlocks != layout.idbBlocks) {
            if (corrects(askBeforeOffsetCorrection)) {
                rangesBehindCopies();
                if (announce) Log("INFO:IDB Offset is different from detect value,recover ok");
            } else {
                idbBlocks = layout.idbBlocks;
            }
        }
    } else {
        if (!usablePositions(layout.idbBlocks)) {
            Log("ERROR:ID Block positions recorded on the flash are invalid");
            return false;
        }
        idbBlocks = layout.idbBlocks;
    }
    if (layout.firstFreeBlock != layout.reserved2Last + 1 &&
        corrects(askBeforeReservedCorrection)) {
        rangesBehindCopies();
        if (announce) Log("INFO:Reserved Block value is wrong,correct ok");
    }
    reserved1First = layout.reserved1First;
    reserved1Last = layout.reserved1Last;
    reserved2First = layout.reserved2First;
    reserved2Last = layout.reserved2Last;
    return true;
}

int CFlashDevice::UpdateIDBData(IdBlockImage& plain, bool force, std::size_t& bootSectors) {
    const std::uint32_t blockSectors = flashInfo.blockSectors;
    std::vector<std::uint8_t> raw(std::size_t{blockSectors} * kRawSectorBytes);
    const int result = ReadMultiSector(idbBlocks[0] * blockSectors, blockSectors, raw);
    if (result != 0) {
        Log("ERROR:ReadMultiSector failed,ErrCode(%d)", result);
        return 0;
    }
    plain = IdBlockImage::fromRaw(raw);
    if (plain.sectorCount() < 4) return 0;
    for (std::size_t i = 0; i < plain.sectorCount(); ++i) std::ranges::fill(plain.spare(i), 0xFF);
    ScrambleIdBlock(plain);

    IdBlockFields files;
    if (!FieldsWithFiles(files) || !PutBootFiles(files, plain)) return 0;
    bootSectors = plain.sectorCount() - 4;
    ParseDiskSizes();

    const IdBlockLayout layout = ReadIdBlockLayout(plain.data(1));
    if (!TakeRecordedLayout(layout, true)) return 0;

    const std::array<std::uint16_t, 4> recorded = layout.diskSizesMB;
    bool systemGrows = force;
    if (!force && systemCheckMB >= recorded[0]) {
        if (!AskOkCancel(askSystemDiskFormat, kPromptCaption)) {
            Log("INFO:user cancel");
            return 0;
        }
        systemGrows = true;
    }
    if (systemGrows) {
        formatNeeded = 1;
        diskSizesMB[0] = saturate16(diskSizesMB[0] + (noSystemMargin ? 0 : kSystemMarginMB));
    } else {
        diskSizesMB[0] = recorded[0];
    }
    if (!force) {
        if (diskSizesMB[1] > recorded[1]) {
            if (!AskOkCancel(askUserDiskFormat, kPromptCaption)) {
                Log("INFO:user cancel");
                return 0;
            }
            formatNeeded = 1;
        } else {
            diskSizesMB[1] = recorded[1];
        }
        // Disks not named by the caller keep their sizes: nothing is formatted for them.
        for (std::size_t i = 2; i < diskSizesMB.size(); ++i) {
            if (diskSizesMB[i] == 0) diskSizesMB[i] = recorded[i];
        }
    }
    TakeStoredSerial(plain.data(3), true);
    return 1;
}

int CFlashDevice::WriteIDBlock(bool forceErase, bool fullWrite) {
    const BchCode bch;
    if (!GetFlashInfo(flashInfo)) {
        Log("ERROR: Get flash info failed");
        return -1;
    }
    const std::uint32_t totalMB = PrintChipTable();
    if (!(flashInfo.chipMask & 1)) {
        Log("ERROR: Not found No1 flash chip");
        return -2;
    }
    ParseDiskSizes();
    const std::uint64_t wanted =
        std::accumulate(diskSizesMB.begin(), diskSizesMB.end(), std::uint64_t{kSystemMarginMB});
    if (wanted > totalMB) {
        Log("ERROR: disk size is larger than flash size");
        return -3;
    }
    // Boot files that cannot be laid out are refused before anything is erased.
    IdBlockFields probe;
    if (!FieldsWithFiles(probe) || !CheckIdBlockSizes(probe)) return fullWrite ? -14 : -23;
    return fullWrite ? FullWrite(bch, forceErase) : UpdateWrite(bch, forceErase);
}

int CFlashDevice::FullWrite(const BchCode& bch, bool forceErase) {
    int eraseKind = CVU_ERASE_FORCE;
    if (BuildFlashStateMap(0, flashInfo) && FindAllIDB() > 0) {
        eraseKind = forceErase ? CVU_ERASE_FORCE : CVU_ERASE_NORMAL;
        IdBlockImage head;
        // The stored serial number survives the full write, unless the caller brought one.
        if (ReadIdBlockHead(idbBlocks[0], head) == 0) TakeStoredSerial(head.data(3), true);
    }
    Log("INFO: start to erase");
    for (int chip = 0; chip < 8; ++chip) {
        if (!((flashInfo.chipMask >> chip) & 1)) continue;
        Log("INFO: Erase NO(%d) chip，Blocks: %u", chip, flashInfo.blockCount);
        if (!EraseBlocks(chip, 0, flashInfo.blockCount, eraseKind)) {
            Log("ERROR: Erase NO(%d) chip failed", chip);
            return -11;
        }
    }
    Log("INFO:start to build flash state map");
    if (!BuildFlashStateMap(0, flashInfo)) {
        Log("ERROR: BuildFlashStateMap failed");
        return -12;
    }
    Log("INFO:Allocate Reserved block");
    if (!MakeSysReservedBlockAddr(idbBlocks, reserved1First, reserved1Last, reserved2First,
                                  reserved2Last)) {
        Log("ERROR:MakeSysReservedBlockAddr failed");
        return -13;
    }
    if (!noSystemMargin) systemDiskMB += kSystemMarginMB;
    ParseDiskSizes();

    int result = kXidReplanned;
    for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        Log("INFO:Make ID Block data");
        IdBlockImage image;
        if (!MakeIDBlockData(image)) {
            result = -1;
            break;
        }
        MakeEccSpareData(bch, image);
        result = WriteXIDBlock(idbBlocks, flashInfo, image, attempt > 1);
        if (result == kXidDone) return 0;
        if (result != kXidReplanned) break;
        Log("ERROR:WriteXIDBlock failed,ErrCode(%d)", result);
        Log("INFO:start next write，rewrite(%d)", attempt);
    }
    Log("ERROR: make ID Block data failed,ErrCode(%d)!", result);
    return -14;
}

int CFlashDevice::UpdateWrite(const BchCode& bch, bool forceErase) {
    Log("INFO:start to build flash state map");
    if (!BuildFlashStateMap(0, flashInfo)) {
        Log("ERROR:BuildFlashStateMap failed");
        return -21;
    }
    Log("INFO: start to find all ID BLOCK");
    const int found = FindAllIDB();
    if (found == 0) {
        Log("ERROR:FindAllIDB failed");
        return -22;
    }
    fiveCopiesFound = found == kIdBlockCopies;
    Log("INFO: start to update ID BLOCK");
    IdBlockImage plain;
    std::size_t bootSectors = 0;
    if (!UpdateIDBData(plain, forceErase, bootSectors)) {
        Log("ERROR:UpdateIDBData failed");
        return -23;
    }
    int result = kXidReplanned;
    for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        Log("INFO:start to write ID Block");
        IdBlockImage image = RefreshIDBSectors(Fields(), plain);
        MakeEccSpareData(bch, image);
        result = WriteXIDBlock(idbBlocks, flashInfo, image, true);
        if (result != kXidReplanned) break;
        Log("ERROR:WriteXIDBlock failed,ErrCode(%d)", result);
        Log("INFO:next write ID Block，Rewrite(%d)", attempt);
    }
    if (result != kXidDone) {
        Log("ERROR: write ID Block failed,ErrCode(%d)", result);
        return -24;
    }
    return EraseBehindReserved();
}

int CFlashDevice::EraseBehindReserved() {
    const std::uint32_t first = reserved2Last + 1u;
    const std::uint32_t count = flashInfo.blockCount > first ? flashInfo.blockCount - first : 0;
    if (formatNeeded) {
        Log("INFO:erasing blocks behind the reserve block,start(%u),num(%u)", first, count);
        if (!EraseBlocks(0, first, count, CVU_ERASE_NORMAL)) {
            Log("ERROR: erase failed");
            return -25;
        }
        return 0;
    }
    Log("INFO:start to erase system disk");
    const int result = Ask([&] { return CVU_EraseSystemDisk(devicePath.c_str()); });
    if (result == 0) return 0;
    Log("ERROR:EraseSystemDisk failed,ErrCode(%d)", result);
    if (!AskOkCancel(askForceErase, kPromptCaption)) {
        Log("INFO:user cancel");
        return -26;
    }
    Log("INFO:start to erase,start(%u),num(%u)", first, count);
    if (!EraseBlocks(0, first, count, CVU_ERASE_NORMAL)) {
        Log("ERROR: erase failed");
        return -27;
    }
    return 0;
}

}  // namespace cv50::flash
