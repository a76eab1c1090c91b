// A player's user disk reached from outside the simulator's lock.
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
        bool ok = false;
        return sim_.withUserDisk(letter_, [&](fwpkg::SectorDevice& d) {
            ok = d.sectorCount() == sectors_ && d.write(first, in);
        }) && ok;
    }

private:
    SimOs& sim_;
    const char letter_;
    const std::uint64_t sectors_;
};

}  // namespace

std::unique_ptr<fwpkg::SectorDevice> SimOs::userDiskDevice(char letter) {
    std::uint64_t sectors = 0;
    if (!withUserDisk(letter, [&](fwpkg::SectorDevice& d) { sectors = d.sectorCount(); }))
        return nullptr;
    return std::make_unique<LockedUserDisk>(*this, letter, sectors);
}

}  // namespace cv50::sim
