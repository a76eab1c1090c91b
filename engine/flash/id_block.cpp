// Building ID Block images.
#include "engine/flash/id_block.h"

#include <algorithm>

#include "base/byte_order.h"
#include "engine/device/log.h"
#include "engine/flash/scramble.h"

namespace cv50::flash {

namespace {

constexpr std::uint32_t kHeaderMagic = 0x0FF0AA55;
constexpr std::size_t kFlashDataSector = 4;
constexpr std::size_t kFlashBootSector = 5;

using Sector = std::span<std::uint8_t, kSectorDataBytes>;

// Byte n of the FlashBoot file; a short file reads as zeros past its end.
std::uint8_t bootByte(const IdBlockFields& f, std::size_t n) {
    return n < f.flashBoot.size() ? f.flashBoot[n] : 0;
}

std::uint16_t bootPair(const IdBlockFields& f, std::size_t n) {
    return static_cast<std::uint16_t>(bootByte(f, n) * 100 + bootByte(f, n + 1));
}

}  // namespace

bool CheckIdBlockSizes(const IdBlockFields& f) {
    if (f.flashData.size() > kMaxFlashDataBytes) {
        Log("ERROR:FlashData file too large,Size(%llu),Max(%llu)",
            static_cast<unsigned long long>(f.flashData.size()),
            static_cast<unsigned long long>(kMaxFlashDataBytes));
        return false;
    }
    if (f.flashBoot.size() > kMaxFlashBootBytes) {
        Log("ERROR:FlashBoot file too large,Size(%llu),Max(%llu)",
            static_cast<unsigned long long>(f.flashBoot.size()),
            static_cast<unsigned long long>(kMaxFlashBootBytes));
        return false;
    }
    const std::size_t sectors = IdBlockSectorCount(f.flashBoot.size());
    if (sectors > f.blockSectors) {
        Log("ERROR:ID Block larger than a block,Sectors(%llu),BlockSectors(%lu)",
            static_cast<unsigned long long>(sectors), static_cast<unsigned long>(f.blockSectors));
        return false;
    }
    return true;
}

namespace {

void buildSector1(const IdBlockFields& f, Sector s) {
    std::fill(s.begin(), s.end(), 0);
    base::storeLe16(s, 0x000, static_cast<std::uint16_t>(f.reserved2Last + 1));
    for (std::size_t i = 0; i < f.diskSizesMB.size(); ++i) {
        base::storeLe16(s, 0x002 + 2 * i, f.diskSizesMB[i]);
    }
    std::copy_n("CV50", 4, s.begin() + 0x00A);
    for (std::size_t i = 0; i < f.loaderWords.size(); ++i) {
        base::storeLe16(s, 0x012 + 2 * i, f.loaderWords[i]);
    }
    base::storeLe32(s, 0x1E4, f.chipSizeMB * 2048);
    s[0x1E9] = f.geometryB;
    base::storeLe16(s, 0x1EA, static_cast<std::uint16_t>(f.blockKB * 2));
    s[0x1EC] = static_cast<std::uint8_t>(f.pageKB * 2);
    s[0x1ED] = f.geometryA;
    base::storeLe16(s, 0x1EE, f.reserved1First);
    base::storeLe16(s, 0x1F0, f.reserved1Last);
    base::storeLe16(s, 0x1F2, f.reserved2First);
    base::storeLe16(s, 0x1F4, f.reserved2Last);
    for (std::size_t i = 0; i < f.idbBlocks.size(); ++i) {
        base::storeLe16(s, 0x1F6 + 2 * i, f.idbBlocks[i]);
    }
}

void buildSector2(const IdBlockFields& f, Sector s) {
    std::fill(s.begin(), s.end(), 0);
    base::storeLe16(s, 0x000, static_cast<std::uint16_t>(f.chipInfo.size()));
    std::copy(f.chipInfo.begin(), f.chipInfo.end(), s.begin() + 0x002);
}

void buildSector3(const IdBlockFields& f, Sector s) {
    std::fill(s.begin(), s.end(), 0);
    const std::size_t length = f.snData.size();
    if (length >= 1 && length <= kMaxSerialNumberBytes) {
        base::storeLe16(s, 0x000, static_cast<std::uint16_t>(length));
        std::copy(f.snData.begin(), f.snData.end(), s.begin() + 0x002);
    }
    if (f.hasMac) {
        std::copy_n("MAC\x06", 4, s.begin() + 0x1F6);
        std::copy(f.mac.begin(), f.mac.end(), s.begin() + 0x1FA);
    }
}

// Fills the image, already sized to N, with the files and the sector-0 boot fields.
void putFiles(const IdBlockFields& f, IdBlockImage& image) {
    const Sector header = image.data(0);
    base::storeLe16(header, 0x004, bootPair(f, 21));
    base::storeLe16(header, 0x006, bootPair(f, 23));
    base::storeLe16(header, 0x008, bootPair(f, 27));
    base::storeLe16(header, 0x00A, bootPair(f, 29));
    base::storeLe16(header, 0x024, bootPair(f, 25));
    base::storeLe16(header, 0x1FC, static_cast<std::uint16_t>(f.flashBoot.size() + kSectorDataBytes));

    const Sector dataSector = image.data(kFlashDataSector);
    std::fill(dataSector.begin(), dataSector.end(), 0);
    std::copy(f.flashData.begin(), f.flashData.end(), dataSector.begin());

    for (std::size_t i = kFlashBootSector; i < image.sectorCount(); ++i) {
        const Sector s = image.data(i);
        std::fill(s.begin(), s.end(), 0);
        const std::size_t from = (i - kFlashBootSector) * kSectorDataBytes;
        const std::size_t n = std::min(kSectorDataBytes, f.flashBoot.size() - from);
        std::copy_n(f.flashBoot.begin() + static_cast<std::ptrdiff_t>(from), n, s.begin());
    }
}

}  // namespace

std::size_t IdBlockSectorCount(std::size_t flashBootBytes) {
    return kFlashBootSector + (flashBootBytes + kSectorDataBytes - 1) / kSectorDataBytes;
}

bool MakeIDBlockData(const IdBlockFields& fields, IdBlockImage& image) {
    Log("INFO:MakeIDBlockData start");
    image = IdBlockImage();
    if (!CheckIdBlockSizes(fields)) return false;

    IdBlockImage plain(IdBlockSectorCount(fields.flashBoot.size()));
    const Sector header = plain.data(0);
    base::storeLe32(header, 0x000, kHeaderMagic);
    base::storeLe16(header, 0x00C, 4);
    base::storeLe16(header, 0x00E, 18);
    putFiles(fields, plain);
    image = RefreshIDBSectors(fields, plain);
    return true;
}

bool PutBootFiles(const IdBlockFields& fields, IdBlockImage& plain) {
    if (!CheckIdBlockSizes(fields)) return false;
    plain.resize(IdBlockSectorCount(fields.flashBoot.size()));
    putFiles(fields, plain);
    return true;
}

IdBlockImage RefreshIDBSectors(const IdBlockFields& fields, const IdBlockImage& plain) {
    IdBlockImage image = plain;
    buildSector1(fields, image.data(1));
    buildSector2(fields, image.data(2));
    buildSector3(fields, image.data(3));
    ScrambleIdBlock(image);
    return image;
}

void MakeEccSpareData(const BchCode& bch, IdBlockImage& image) {
    Log("INFO:MakeEccSpareData start");
    for (std::size_t i = 0; i < image.sectorCount(); ++i) {
        const auto spare = image.spare(i);
        spare[0] = 0xFF;
        spare[1] = 0xFF;
        spare[2] = i == 0 ? kIdBlockMarker : 0xFF;
        const auto parity = bch.parity(image.sector(i).first<kBchMessageBytes>());
        std::copy(parity.begin(), parity.end(), spare.begin() + 3);
    }
}

}  // namespace cv50::flash
