// The twelve CVU_ functions: argument checks, then one transaction each.

#include "base/byte_order.h"
#include "cvusbcomm/cvusbcomm.h"
#include "cvusbcomm/transport.h"

namespace cv50::cvusb {
namespace {

bool validPath(const char* devicePath) { return devicePath != nullptr && *devicePath != '\0'; }

// No exception leaves the library: an allocation failure is a failed call.
template <typename F>
int guarded(F&& f) {
    try {
        return f();
    } catch (...) {
        return CVU_ERR_DEVICE;
    }
}

int call(const char* devicePath, Opcode op, std::array<std::uint32_t, 4> params = {},
         std::span<const std::uint8_t> out = {}, std::span<std::uint8_t> in = {}) {
    if (!validPath(devicePath)) return CVU_ERR_ARGUMENT;
    Command c;
    c.opcode = op;
    c.params = params;
    return guarded([&] { return transact(devicePath, c, out, in); });
}

bool validChip(int chip) { return chip >= 0 && chip <= 7; }

}  // namespace
}  // namespace cv50::cvusb

using namespace cv50::cvusb;

extern "C" int CVU_ReadFlashInfo(const char* devicePath, unsigned char* info) {
    if (info == nullptr) return CVU_ERR_ARGUMENT;
    return call(devicePath, Opcode::ReadFlashInfo, {}, {}, {info, kFlashInfoSize});
}

extern "C" int CVU_ReadChipInfo(const char* devicePath, unsigned char* info) {
    if (info == nullptr) return CVU_ERR_ARGUMENT;
    return call(devicePath, Opcode::ReadChipInfo, {}, {}, {info, kChipInfoSize});
}

extern "C" int CVU_TestBadBlock(const char* devicePath, int chip, unsigned int firstBlock,
                                unsigned int blockCount, unsigned char* bitmap) {
    if (bitmap == nullptr || !validChip(chip) || blockCount == 0 || blockCount > CVU_MAX_BLOCKS)
        return CVU_ERR_ARGUMENT;
    return call(devicePath, Opcode::TestBadBlock,
                {static_cast<std::uint32_t>(chip), firstBlock, blockCount, 0}, {},
                {bitmap, kBitmapSize});
}

extern "C" int CVU_EraseBlock(const char* devicePath, int chip, unsigned int firstBlock,
                              unsigned int blockCount, int eraseKind) {
    if (!validChip(chip) || blockCount == 0 ||
        (eraseKind != CVU_ERASE_NORMAL && eraseKind != CVU_ERASE_FORCE))
        return CVU_ERR_ARGUMENT;
    return call(devicePath, Opcode::EraseBlock,
                {static_cast<std::uint32_t>(chip), firstBlock, blockCount,
                 static_cast<std::uint32_t>(eraseKind)});
}

extern "C" int CVU_ReadSector(const char* devicePath, unsigned int firstSector,
                              unsigned int sectorCount, int mode, unsigned char* buffer) {
    if (buffer == nullptr || sectorCount == 0 || sectorCount > CVU_MAX_SECTORS || mode != 1)
        return CVU_ERR_ARGUMENT;
    return call(devicePath, Opcode::ReadSector, {firstSector, sectorCount, 1, 0}, {},
                {buffer, sectorCount * kRawSectorSize});
}

extern "C" int CVU_WriteSector(const char* devicePath, unsigned int firstSector,
                               unsigned int sectorCount, int mode, const unsigned char* buffer) {
    if (buffer == nullptr || sectorCount == 0 || sectorCount > CVU_MAX_SECTORS || mode != 1)
        return CVU_ERR_ARGUMENT;
    return call(devicePath, Opcode::WriteSector, {firstSector, sectorCount, 1, 0},
                {buffer, sectorCount * kRawSectorSize});
}

extern "C" int CVU_ReadLBA(const char* devicePath, unsigned int lba, unsigned int sectorCount,
                           unsigned char* buffer) {
    if (buffer == nullptr || sectorCount == 0 || sectorCount > CVU_MAX_LBA_SECTORS)
        return CVU_ERR_ARGUMENT;
    return call(devicePath, Opcode::ReadLBA, {lba, sectorCount, 0, 0}, {},
                {buffer, sectorCount * kSectorSize});
}

extern "C" int CVU_WriteLBA(const char* devicePath, unsigned int lba, unsigned int sectorCount,
                            const unsigned char* buffer) {
    if (buffer == nullptr || sectorCount == 0 || sectorCount > CVU_MAX_LBA_SECTORS)
        return CVU_ERR_ARGUMENT;
    return call(devicePath, Opcode::WriteLBA, {lba, sectorCount, 0, 0},
                {buffer, sectorCount * kSectorSize});
}

extern "C" int CVU_EraseSystemDisk(const char* devicePath) {
    return call(devicePath, Opcode::EraseSystemDisk);
}

extern "C" int CVU_TestUnitReady(const char* devicePath, unsigned int* total, unsigned int* done) {
    std::array<std::uint8_t, kUnitReadySize> progress{};
    const int result = call(devicePath, Opcode::TestUnitReady, {}, {}, progress);
    if (result == CVU_OK || result == CVU_BUSY) {
        if (total) *total = cv50::base::loadLe32(progress, 0);
        if (done) *done = cv50::base::loadLe32(progress, 4);
    }
    return result;
}

extern "C" int CVU_SetResetFlag(const char* devicePath) {
    return call(devicePath, Opcode::SetResetFlag);
}

extern "C" int CVU_ResetDevice(const char* devicePath) {
    return call(devicePath, Opcode::ResetDevice);
}
