// Judging an ID Block copy as the boot ROM does.
#include "sim/boot_rom/idb_check.h"

#include <algorithm>

#include "sim/boot_rom/bch_decoder.h"
#include "sim/boot_rom/scrambler.h"

namespace cv50::sim {
namespace {

constexpr std::size_t kData = 512;
constexpr std::size_t kHeaderSectors = 5;  // header, layout, chip, serial, FlashData
constexpr std::uint8_t kMarker = 0x69;

std::uint16_t u16(std::span<const std::uint8_t> s, std::size_t at) {
    return static_cast<std::uint16_t>(s[at] | (s[at + 1] << 8));
}

std::uint32_t u32(std::span<const std::uint8_t> s, std::size_t at) {
    return static_cast<std::uint32_t>(u16(s, at)) |
           (static_cast<std::uint32_t>(u16(s, at + 2)) << 16);
}

IdBlockVerdict fault(IdBlockFault f, std::size_t sector = 0) {
    IdBlockVerdict v;
    v.fault = f;
    v.faultSector = sector;
    return v;
}

}  // namespace

std::string IdBlockVerdict::describe() const {
    const std::string at = " in sector " + std::to_string(faultSector);
    switch (fault) {
        case IdBlockFault::None:
            return "valid ID Block copy";
        case IdBlockFault::NotWholeSectors:
            return "block is not whole sectors";
        case IdBlockFault::TooShort:
            return "block too short for an ID Block";
        case IdBlockFault::NoMarker:
            return "no ID Block marker";
        case IdBlockFault::Uncorrectable:
            return "uncorrectable bit errors" + at;
        case IdBlockFault::BadSpare:
            return "unexpected spare bytes" + at;
        case IdBlockFault::BadHeader:
            return "bad header signature";
        case IdBlockFault::BadBootSize:
            return "boot size does not fit the block";
        case IdBlockFault::BadBootFields:
            return "boot version fields disagree with the boot code";
        case IdBlockFault::BadChipInfo:
            return "bad chip info length";
    }
    return "unknown fault";
}

IdBlockVerdict checkIdBlockCopy(std::span<const std::uint8_t> block) {
    if (block.size() % kRawSectorBytes != 0) return fault(IdBlockFault::NotWholeSectors);
    const std::size_t available = block.size() / kRawSectorBytes;
    if (available < kHeaderSectors) return fault(IdBlockFault::TooShort);

    std::vector<std::uint8_t> raw(block.begin(), block.end());
    auto sector = [&raw](std::size_t i) {
        return std::span<std::uint8_t, kRawSectorBytes>(raw.data() + i * kRawSectorBytes,
                                                        kRawSectorBytes);
    };
    auto data = [&sector](std::size_t i) { return sector(i).first<kData>(); };

    if (sector(0)[kData + 2] != kMarker) return fault(IdBlockFault::NoMarker);

    const BchDecoder bch;
    unsigned corrected = 0;
    // Repairs sector i and checks its spare bytes 0-2 as repaired.
    auto repair = [&](std::size_t i) -> std::optional<IdBlockFault> {
        const auto bits = bch.correct(sector(i));
        if (!bits) return IdBlockFault::Uncorrectable;
        corrected += *bits;
        const auto spare = sector(i).subspan<kData, 3>();
        if (spare[0] != 0xFF || spare[1] != 0xFF || spare[2] != (i == 0 ? kMarker : 0xFF)) {
            return IdBlockFault::BadSpare;
        }
        return std::nullopt;
    };

    if (const auto f = repair(0)) return fault(*f, 0);
    unscrambleSector(data(0));
    const auto header = data(0);
    if (u32(header, 0x000) != 0x0FF0AA55 || u16(header, 0x00C) != 4 || u16(header, 0x00E) != 18) {
        return fault(IdBlockFault::BadHeader, 0);
    }
    const std::size_t bootSize = u16(header, 0x1FC);
    if (bootSize < kData) return fault(IdBlockFault::BadBootSize, 0);
    const std::size_t bootBytes = bootSize - kData;
    const std::size_t sectors = kHeaderSectors + (bootBytes + kData - 1) / kData;
    if (sectors > available) return fault(IdBlockFault::BadBootSize, 0);

    for (std::size_t i = 1; i < sectors; ++i) {
        if (const auto f = repair(i)) return fault(*f, i);
    }

    IdBlockCopy copy;
    copy.sectors = sectors;
    copy.correctedBits = corrected;
    for (std::size_t i = kHeaderSectors; i < sectors; ++i) {
        const auto d = data(i);
        const std::size_t n = std::min(kData, bootBytes - (i - kHeaderSectors) * kData);
        copy.bootCode.insert(copy.bootCode.end(), d.begin(), d.begin() + n);
    }
    // Sector 0 carries version bytes 21-30 of the boot code, two to a field.
    auto bootByte = [&copy](std::size_t n) -> unsigned {
        return n < copy.bootCode.size() ? copy.bootCode[n] : 0;
    };
    constexpr std::size_t kFieldAt[5] = {0x004, 0x006, 0x008, 0x00A, 0x024};
    constexpr std::size_t kFieldByte[5] = {21, 23, 27, 29, 25};
    for (std::size_t k = 0; k < 5; ++k) {
        copy.bootFields[k] = u16(header, kFieldAt[k]);
        if (copy.bootFields[k] != bootByte(kFieldByte[k]) * 100 + bootByte(kFieldByte[k] + 1)) {
            return fault(IdBlockFault::BadBootFields, 0);
        }
    }

    const auto flashData = data(4);
    std::copy(flashData.begin(), flashData.end(), copy.flashData.begin());

    const auto layout = data(1);
    copy.firstFreeBlock = u16(layout, 0x000);
    for (std::size_t i = 0; i < 4; ++i) copy.diskSizesMB[i] = u16(layout, 0x002 + 2 * i);
    copy.tag.assign(layout.begin() + 0x00A, layout.begin() + 0x00E);
    for (std::size_t i = 0; i < 3; ++i) copy.loaderWords[i] = u16(layout, 0x012 + 2 * i);
    copy.chipSectors = u32(layout, 0x1E4);
    copy.geometryB = layout[0x1E9];
    copy.blockSectors = u16(layout, 0x1EA);
    copy.pageSectors = layout[0x1EC];
    copy.geometryA = layout[0x1ED];
    for (std::size_t i = 0; i < 4; ++i) copy.reservedRanges[i] = u16(layout, 0x1EE + 2 * i);
    for (std::size_t i = 0; i < 5; ++i) copy.idbBlocks[i] = u16(layout, 0x1F6 + 2 * i);

    unscrambleSector(data(2));
    const auto chip = data(2);
    if (u16(chip, 0x000) != copy.chipInfo.size()) return fault(IdBlockFault::BadChipInfo, 2);
    std::copy_n(chip.begin() + 2, copy.chipInfo.size(), copy.chipInfo.begin());

    unscrambleSector(data(3));
    const auto serial = data(3);
    const std::size_t snLength = u16(serial, 0x000);
    if (snLength >= 1 && snLength <= 500) {
        copy.serialNumber.assign(serial.begin() + 2, serial.begin() + 2 + snLength);
    }
    if (serial[0x1F6] == 'M' && serial[0x1F7] == 'A' && serial[0x1F8] == 'C' &&
        serial[0x1F9] == 6) {
        std::array<std::uint8_t, 6> mac{};
        std::copy_n(serial.begin() + 0x1FA, mac.size(), mac.begin());
        copy.mac = mac;
    }

    IdBlockVerdict verdict;
    verdict.copy = std::move(copy);
    return verdict;
}

}  // namespace cv50::sim
