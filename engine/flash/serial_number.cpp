// Reading and rewriting the serial number of a loader device.
#include "engine/flash/serial_number.h"

#include <algorithm>

#include "engine/device/log.h"
#include "engine/flash/flash_device.h"
#include "engine/flash/scramble.h"
#include "engine/os/os.h"

namespace cv50::flash {
namespace {

constexpr int kFlashInfoAttempts = 3;
constexpr std::uint32_t kFlashInfoRetryMs = 1000;

// Geometry, block map and copies of the device; logged when something is missing.
bool commonStart(CFlashDevice& d) {
    Log("INFO: Start to get flash info");
    bool got = false;
    for (int attempt = 0; attempt < kFlashInfoAttempts && !got; ++attempt) {
        got = d.GetFlashInfo(d.flashInfo) == 1;
        if (!got) os::current().sleepMs(kFlashInfoRetryMs);
    }
    if (!got) {
        Log("ERROR: Get flash info failed");
        return false;
    }
    if (!(d.flashInfo.chipMask & 1)) {
        Log("ERROR: No found first chip");
        return false;
    }
    Log("INFO: Start to build state map");
    if (!d.BuildFlashStateMap(0, d.flashInfo)) {
        Log("ERROR: Build state map failed");
        return false;
    }
    Log("INFO: Start to find idb");
    const int found = d.FindAllIDB();
    if (found < 1) {
        Log("ERROR: Find idb failed");
        return false;
    }
    d.fiveCopiesFound = found == kIdBlockCopies;
    return true;
}

// The plain image of the first copy, N sectors long, with the object set from it.
bool takeCurrentIdBlock(CFlashDevice& d, IdBlockImage& plain) {
    const std::uint32_t blockSectors = d.flashInfo.blockSectors;
    std::vector<std::uint8_t> raw(std::size_t{blockSectors} * kRawSectorBytes);
    const int result = d.ReadMultiSector(d.idbBlocks[0] * blockSectors, blockSectors, raw);
    if (result != 0) {
        Log("ERROR:ReadMultiSector failed,ErrCode(%d)", result);
        return false;
    }
    plain = IdBlockImage::fromRaw(raw);
    if (plain.sectorCount() < 4) return false;
    for (std::size_t i = 0; i < plain.sectorCount(); ++i) std::ranges::fill(plain.spare(i), 0xFF);
    ScrambleIdBlock(plain);
    const auto sectors = StoredIdBlockSectors(plain.data(0), blockSectors);
    if (!sectors) {
        Log("ERROR:ID Block length recorded on the flash is invalid");
        return false;
    }
    plain.resize(*sectors);
    const IdBlockLayout layout = ReadIdBlockLayout(plain.data(1));
    d.loaderWords = layout.loaderWords;
    if (!d.TakeRecordedLayout(layout, false)) return false;
    d.diskSizesMB = layout.diskSizesMB;
    d.TakeStoredSerial(plain.data(3), true);
    return true;
}

}  // namespace

std::optional<SerialNumberRecord> ReadStoredSerialNumber(const std::string& devicePath) {
    CFlashDevice d;
    d.SetDevice(devicePath);
    if (!commonStart(d)) return std::nullopt;
    Log("INFO: Start to read sn");
    IdBlockImage head;
    const int result = d.ReadIdBlockHead(d.idbBlocks[0], head);
    if (result != 0) {
        Log("ERROR: read sn failed,errCode(%d)", result);
        return std::nullopt;
    }
    return ReadSerialNumber(head.data(3));
}

bool ReadSerialNumberExactly(const std::string& devicePath, std::span<std::uint8_t> out) {
    const auto stored = ReadStoredSerialNumber(devicePath);
    if (!stored) return false;
    // A length past 500 is no serial number: its bytes are not taken.
    if (stored->storedLength != out.size() || stored->snData.size() != out.size()) {
        Log("ERROR: Length of sn is not same");
        return false;
    }
    std::ranges::copy(stored->snData, out.begin());
    Log("INFO: Read sn OK");
    return true;
}

bool WriteSerialNumber(const std::string& devicePath, std::span<const std::uint8_t> sn,
                       const std::optional<std::array<std::uint8_t, 6>>& mac) {
    if (sn.empty()) {
        Log("ERROR:The length of sn is smaller than zero");
        return false;
    }
    CFlashDevice d;
    d.SetDevice(devicePath);
    const std::size_t length = std::min(sn.size(), kMaxSerialNumberBytes);
    d.snData.assign(sn.begin(), sn.begin() + static_cast<std::ptrdiff_t>(length));
    const BchCode bch;
    if (!commonStart(d)) return false;

    Log("INFO: start to update sn data");
    IdBlockImage plain;
    if (!takeCurrentIdBlock(d, plain)) {
        Log("ERROR: Update sn data failed");
        return false;
    }
    if (mac) {
        d.hasMac = 1;
        d.mac = *mac;
    }
    Log("INFO: start to write sn data");
    IdBlockImage image = RefreshIDBSectors(d.Fields(), plain);
    MakeEccSpareData(bch, image);
    int code = 0;
    for (int i = 0; i < kIdBlockCopies && code == 0; ++i) {
        const int result = d.WriteOneCopy(i, d.idbBlocks[i], image, true, "ERROR: Check failed");
        // No re-plan here: the steps' codes count from 1 (erase) to 4 (compare).
        if (result != kXidDone) code = result - 1;
    }
    if (code != 0) {
        Log("ERROR: Write sn data failed,ErrCode(%d)", code);
        return false;
    }
    Log("INFO: Write sn OK");
    return true;
}

}  // namespace cv50::flash
