// Vendor commands of the disk firmware.
#include "sim/msc_firmware.h"

#include <algorithm>

#include "engine/os/scsi_pass_through.h"

namespace cv50::sim {
namespace {

constexpr std::uint32_t kReadVersion = 0xFFFFFFFF;
constexpr std::uint32_t kSwitchToCorvUsb = 0xFFFFFFFE;
constexpr std::uint32_t kShowSystemDisk = 0xFFFFFFFC;

void put16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

bool answerScsiRequest(UsbWorld& world, SimPlayer& player, std::span<std::uint8_t> request,
                       std::uint64_t t) {
    namespace scsi = os::scsi;
    if (player.mode != PlayerMode::Msc || !player.onBus()) return false;
    const auto parsed = scsi::parseRequest(request);
    // The kernel takes only the header of its own pointer size.
    if (!parsed || parsed->layout->headerLength != scsi::kNativeLayout.headerLength) return false;
    const auto vendor = scsi::parseVendorCdb(parsed->cdb);
    if (!vendor) return false;  // the firmware answers only its own command block
    std::span<std::uint8_t> data = request.subspan(parsed->layout->dataOffset, scsi::kMaxData);
    std::fill(data.begin(), data.end(), 0);
    switch (vendor->command) {
        case kReadVersion: {
            std::uint8_t version[12] = {};
            if (const auto& layout = player.media->disk.layout(); layout && player.image) {
                // The loader's word as the ID Block records it; the system's from the tail block.
                put16(version, 0, layout->loaderVersion & 0xFF);
                put16(version, 2, layout->loaderVersion >> 8);
                const std::uint32_t system = player.image->systemVersion.value_or(0xFFFFFFFF);
                put16(version, 8, static_cast<std::uint16_t>(system));
                put16(version, 10, static_cast<std::uint16_t>(system >> 16));
            } else {
                put16(version, 0, player.spec.loaderLow);
                put16(version, 2, player.spec.loaderHigh);
                put16(version, 8, player.spec.systemLow);
                put16(version, 10, player.spec.systemHigh);
            }
            std::copy_n(version, std::min<std::size_t>(12, parsed->dataLength), data.begin());
            return true;
        }
        case kSwitchToCorvUsb:
            world.reenumerate(player, PlayerMode::Loader, t);
            return true;
        case kShowSystemDisk:
            player.systemDiskShown = true;
            return true;
        default:
            return true;  // other numbers are acknowledged
    }
}

}  // namespace cv50::sim
