// A player's user disk reached from outside the simulator's lock.
#include <cctype>
#include <memory>

#include "sim/sim_os.h"

namespace cv50::sim {
namespace {

// Every transfer takes the lock and finds the disk by its drive letter again, so a volume
// that went away fails instead of being written behind the player's back.
class LockedUserDisk final : public fwpkg::SectorDevice {
public:
    LockedUserDisk(SimOs& sim, char letter, std::uint64_t sectors)
        : sim_(sim), letter_(letter), sectors_(sectors) {}

    std::uint64_t sectorCount() const override { return sectors_; }
    bool read(std::uint64_t first, std::span<std::uint8_t> out) override {
        bool ok = false;
        return sim_.withUserDisk(letter_, [&](fwpkg::SectorDevice& d) {
            ok = d.sectorCount() == sectors_ && d.read(first, out);
        }) && ok;
    }
    bool write(std::uint64_t first, std::span<const std::uint8_t> in) override {
        return sim_.writeUserDisk(letter_, sectors_, first, in);
    }

private:
    SimOs& sim_;
    const char letter_;
    const std::uint64_t sectors_;
};

}  // namespace

bool SimOs::writeUserDisk(char letter, std::uint64_t sectors, std::uint64_t first,
                          std::span<const std::uint8_t> in) {
    std::lock_guard lock(mutex_);
    sync();
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    SimPlayer* player = world_.playerOnDrive(upper);
    fwpkg::SectorDevice* disk = world_.userDisk(upper);
    if (!player || !disk || disk->sectorCount() != sectors) return false;
    const bool written = disk->write(first, in);
    if (!player->media->nand.powerLost()) return written;
    // Power failed part way: the disk never answers this write, and the player comes back as
    // it does after any power cut.
    restartPlayer(*player, player->generation, true, Restart::PowerBack);
    return false;
}

std::unique_ptr<fwpkg::SectorDevice> SimOs::userDiskDevice(char letter) {
    std::uint64_t sectors = 0;
    if (!withUserDisk(letter, [&](fwpkg::SectorDevice& d) { sectors = d.sectorCount(); }))
        return nullptr;
    return std::make_unique<LockedUserDisk>(*this, letter, sectors);
}

}  // namespace cv50::sim
