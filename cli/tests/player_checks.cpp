#include "cli/tests/player_checks.h"

#include <memory>

#include "fwpkg/fat_reader.h"
#include "fwpkg/sector_device_io.h"
#include "sim/boot_rom/bch_decoder.h"
#include "sim/boot_rom/idb_check.h"

namespace cv50::cli::testing {

std::string modeName(sim::SimOs& sim) {
    return sim.withWorld([](sim::UsbWorld& w) -> std::string {
        const sim::SimPlayer& p = *w.players().at(0);
        if (!p.onBus()) return "gone";
        switch (p.mode) {
            case sim::PlayerMode::MaskRom:
                return "mask ROM";
            case sim::PlayerMode::Loader:
                return "loader";
            case sim::PlayerMode::Msc:
                return "disk";
        }
        return "?";
    });
}

std::optional<std::vector<std::uint8_t>> userVolumeFile(sim::SimOs& sim, const std::string& path) {
    const char letter =
        sim.withWorld([](sim::UsbWorld& w) { return w.players().at(0)->driveLetter; });
    if (letter == 0) return std::nullopt;
    std::optional<std::vector<std::uint8_t>> bytes;
    (void)sim.withUserDisk(letter, [&](fwpkg::SectorDevice& disk) {
        fwpkg::SectorDeviceSource source(disk);
        std::unique_ptr<fwpkg::FatVolume> volume;
        fwpkg::FatEntry entry;
        if (fwpkg::FatVolume::open(source, volume) != fwpkg::FatError::Ok ||
            volume->find(path, entry) != fwpkg::FatError::Ok)
            return;
        std::vector<std::uint8_t> content;
        if (volume->readFile(entry, [&](std::span<const std::uint8_t> piece) {
                content.insert(content.end(), piece.begin(), piece.end());
                return true;
            }) == fwpkg::FatError::Ok)
            bytes = std::move(content);
    });
    return bytes;
}

std::optional<std::uint32_t> runningSystemVersion(sim::SimOs& sim) {
    return sim.withWorld([](sim::UsbWorld& w) -> std::optional<std::uint32_t> {
        const sim::SimPlayer& p = *w.players().at(0);
        if (!p.onBus() || p.mode != sim::PlayerMode::Msc || !p.image) return std::nullopt;
        return p.image->systemVersion;
    });
}

std::vector<StoredSerial> idBlockSerials(const sim::Nand& nand) {
    std::vector<StoredSerial> found;
    const std::uint32_t blockSectors = nand.spec().blockSectors;
    std::vector<std::uint8_t> block(std::size_t{blockSectors} * sim::kRawSectorBytes);
    for (std::uint32_t b = 0; b < 200 && b < nand.blocksPerChip(); ++b) {
        if (nand.isBad(0, b)) continue;
        for (std::uint32_t s = 0; s < blockSectors; ++s)
            nand.read(0, b * blockSectors + s,
                      std::span(block).subspan(std::size_t{s} * sim::kRawSectorBytes,
                                               sim::kRawSectorBytes));
        const sim::IdBlockVerdict verdict = sim::checkIdBlockCopy(block);
        if (verdict.valid()) found.push_back({verdict.copy.serialNumber, verdict.copy.mac});
    }
    return found;
}

}  // namespace cv50::cli::testing
