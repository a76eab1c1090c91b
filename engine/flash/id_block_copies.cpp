// CFlashDevice: the ID Block copies on the flash: building an image from the object,
// reading, writing and checking the five copies, finding them, erasing their area.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/log.h"
#include "engine/flash/flash_device.h"
#include "engine/flash/id_block_read.h"
#include "engine/flash/scramble.h"
#include "engine/os/os.h"

namespace cv50::flash {
namespace {

// Reads a boot file, at most `cap` + 1 bytes, so an oversized one is seen and refused
// without being held whole.
bool readBootFile(const char* what, const std::string& path, std::size_t cap,
                  std::vector<std::uint8_t>& out) {
    os::UniqueFile f(os::current().openFile(path, "rb"));
    if (!f) {
        Log("ERROR:Open %s failed,Path(%s),ErrCode(%d)", what, path.c_str(),
            static_cast<int>(os::current().lastError()));
        return false;
    }
    out.clear();
    std::uint8_t piece[4096];
    while (out.size() <= cap) {
        const std::size_t n = std::fread(piece, 1, sizeof piece, f.get());
        if (n == 0) break;
        out.insert(out.end(), piece, piece + n);
    }
    if (std::ferror(f.get())) {
        Log("ERROR:Open %s failed,Path(%s),ErrCode(%d)", what, path.c_str(),
            static_cast<int>(os::current().lastError()));
        return false;
    }
    if (out.size() > cap + 1) out.resize(cap + 1);
    return true;
}

}  // namespace

IdBlockFields CFlashDevice::Fields() {
    if (chipInfoStale) {
        std::uint8_t raw[16] = {};
        // Whatever the device answers is carried as it is.
        (void)Ask([&] { return CVU_ReadChipInfo(devicePath.c_str(), raw); });
        std::copy(std::begin(raw), std::end(raw), chipInfo.begin());
        chipInfoStale = 0;
    }
    IdBlockFields f;
    f.loaderWords = loaderWords;
    f.reserved1First = reserved1First;
    f.reserved1Last = reserved1Last;
    f.reserved2First = reserved2First;
    f.reserved2Last = reserved2Last;
    f.idbBlocks = idbBlocks;
    f.chipInfo = chipInfo;
    f.chipSizeMB = flashInfo.sizeMB;
    f.blockKB = flashInfo.blockKB;
    f.pageKB = flashInfo.pageKB;
    f.geometryA = flashInfo.geometryA;
    f.geometryB = flashInfo.geometryB;
    f.blockSectors = flashInfo.blockSectors;
    f.diskSizesMB = diskSizesMB;
    f.snData = snData;
    f.hasMac = hasMac != 0;
    f.mac = mac;
    return f;
}

bool CFlashDevice::FieldsWithFiles(IdBlockFields& fields) {
    fields = Fields();
    return readBootFile("FlashData", flashDataPath, kMaxFlashDataBytes, fields.flashData) &&
           readBootFile("FlashBoot", flashBootPath, kMaxFlashBootBytes, fields.flashBoot);
}

bool CFlashDevice::MakeIDBlockData(IdBlockImage& image) {
    IdBlockFields fields;
    if (!FieldsWithFiles(fields)) {
        image = IdBlockImage();
        return false;
    }
    return flash::MakeIDBlockData(fields, image);
}

void CFlashDevice::TakeStoredSerial(std::span<const std::uint8_t, kSectorDataBytes> sector3,
                                    bool keepOwn) {
    const SerialNumberRecord stored = ReadSerialNumber(sector3);
    if (stored.storedLength > 0 && !(keepOwn && !snData.empty())) {
        const std::size_t n = std::min<std::size_t>(stored.storedLength, kMaxSerialNumberBytes);
        snData.assign(sector3.begin() + 2, sector3.begin() + 2 + static_cast<std::ptrdiff_t>(n));
    }
    if (stored.hasMac) {
        hasMac = 1;
        mac = stored.mac;
    }
}

int CFlashDevice::ReadMultiSector(std::uint32_t firstSector, std::uint32_t count,
                                  std::span<std::uint8_t> buffer) {
    if (buffer.size() < std::size_t{count} * kRawSectorBytes) return CVU_ERR_ARGUMENT;
    for (std::uint32_t done = 0; done < count;) {
        const std::uint32_t n = std::min<std::uint32_t>(CVU_MAX_SECTORS, count - done);
        const int result = Ask([&] {
            return CVU_ReadSector(devicePath.c_str(), firstSector + done, n, 1,
                                  buffer.data() + std::size_t{done} * kRawSectorBytes);
        });
        if (result != 0) return result;
        done += n;
    }
    return 0;
}

int CFlashDevice::ReadIdBlockHead(std::uint16_t block, IdBlockImage& head) {
    head = IdBlockImage(4);
    const int result = ReadMultiSector(block * flashInfo.blockSectors, 4, head.raw());
    if (result == 0) ScrambleIdBlock(head);
    return result;
}

int CFlashDevice::WriteOneCopy(int copy, std::uint16_t block, const IdBlockImage& image,
                               bool eraseFirst, const char* checkFailedLine) {
    const char* path = devicePath.c_str();
    if (eraseFirst) {
        const int result = Ask([&] { return CVU_EraseBlock(path, 0, block, 1, CVU_ERASE_NORMAL); });
        if (result != 0) {
            Log("ERROR:Erase Block failed,ErrCode(%d)", result);
            return kXidEraseFailed;
        }
    }
    const std::uint32_t first = block * flashInfo.blockSectors;
    Log("INFO:Writing No(%d) ID Block，Pos:%08u(SEC)", copy + 1, first);
    std::vector<std::uint8_t> out(CVU_MAX_SECTORS * kRawSectorBytes);
    std::vector<std::uint8_t> back(out.size());
    const std::size_t sectors = image.sectorCount();
    for (std::size_t done = 0; done < sectors;) {
        const std::size_t n = std::min<std::size_t>(CVU_MAX_SECTORS, sectors - done);
        const auto units = image.raw().subspan(done * kRawSectorBytes, n * kRawSectorBytes);
        std::fill(out.begin(), out.end(), 0xFF);
        std::copy(units.begin(), units.end(), out.begin());
        const std::uint32_t at = first + static_cast<std::uint32_t>(done);
        const std::uint32_t last = at + static_cast<std::uint32_t>(n) - 1;
        const auto count = static_cast<unsigned>(n);
        Log("INFO:Writing sector %08u ~ %08u ... ", at, last);
        int result = Ask([&] { return CVU_WriteSector(path, at, count, 1, out.data()); });
        if (result != 0) {
            Log("ERROR:write data to flash failed,ErrCode(%d)", result);
            return kXidWriteFailed;
        }
        std::fill(back.begin(), back.end(), 0xFF);
        Log("INFO:Writing sector %08u ~ %08u ... ", at, last);
        result = Ask([&] { return CVU_ReadSector(path, at, count, 1, back.data()); });
        if (result != 0) {
            Log("ERROR:read data from flash failed,ErrCode(%d)", result);
            return kXidReadFailed;
        }
        Log("INFO:start check");
        for (std::size_t k = 0; k < n; ++k) {
            if (std::memcmp(out.data() + k * kRawSectorBytes, back.data() + k * kRawSectorBytes,
                            kSectorDataBytes) != 0) {
                Log("%s", checkFailedLine);
                return kXidCompareFailed;
            }
        }
        done += n;
    }
    return kXidDone;
}

int CFlashDevice::WriteXIDBlock(std::array<std::uint16_t, 5>& blocks, FlashInfo& info,
                                const IdBlockImage& image, bool eraseFirst) {
    Log("INFO:WriteXIDBlock start");
    for (int i = 0; i < kIdBlockCopies; ++i) {
        const int result = WriteOneCopy(i, blocks[i], image, eraseFirst);
        if (result == kXidDone) continue;
        return Replan(blocks, info, i) ? kXidReplanned : result;
    }
    return kXidDone;
}

int CFlashDevice::FindAllIDB() {
    int found = 0;
    int start = 0;
    while (found < kIdBlockCopies) {
        const int block = FindGoodBlock(flashInfo.blockMap, kIdBlockLimit, start, 1);
        if (block < 0) break;
        start = block + 1;
        IdBlockImage head;
        if (ReadIdBlockHead(static_cast<std::uint16_t>(block), head) != 0) continue;
        if (head.spare(0)[2] != kIdBlockMarker) continue;
        if (!ReadIdBlockLayout(head.data(1)).knownTag()) continue;
        idbBlocks[found++] = static_cast<std::uint16_t>(block);
    }
    return found;
}

int CFlashDevice::EraseIDBArea() {
    if (!GetFlashInfo(flashInfo)) {
        Log("ERROR: Get flash info failed");
        return 0;
    }
    if (!BuildFlashStateMap(0, flashInfo)) {
        Log("ERROR: Build state map failed");
        return 0;
    }
    if (FindAllIDB() < 1) {
        Log("ERROR: Find idb failed");
        return 0;
    }
    IdBlockImage head;
    const int result = ReadIdBlockHead(idbBlocks[0], head);
    if (result != 0) {
        Log("ERROR:ReadMultiSector failed,ErrCode(%d)", result);
        return 0;
    }
    const std::uint16_t end = ReadIdBlockLayout(head.data(1)).firstFreeBlock;
    if (end < 1 || end > kIdBlockLimit) return 0;
    return EraseBlocks(0, 0, end / 4 * 4 + 4u, CVU_ERASE_NORMAL);
}

}  // namespace cv50::flash
