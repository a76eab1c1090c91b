// Mass-storage control commands.
#include "engine/device/disk_commands.h"

#include <algorithm>
#include <cstring>

#include "engine/os/scsi_pass_through.h"

namespace cv50::device {

int ScsiVendorCommand(char driveLetter, std::uint32_t command, void* out, std::uint32_t dataLength) {
    namespace scsi = os::scsi;
    if (dataLength > scsi::kMaxData) return 0;
    os::Os& sys = os::current();
    const char volume[] = {'\\', '\\', '.', '\\', driveLetter, ':', '\0'};
    os::UniqueHandle handle(sys.openReadWrite(volume));
    if (!handle) return 0;
    std::vector<std::uint8_t> request = scsi::packRequest(scsi::vendorCdb(command, dataLength), dataLength);
    std::uint32_t returned = 0;
    const bool ok = sys.deviceIoControl(handle.get(), scsi::kIoctlScsiPassThrough, request.data(),
                                        request.size(), request.data(), request.size(), &returned,
                                        scsi::kRequestBoundMs);
    if (ok && out != nullptr && dataLength > 0)
        std::memcpy(out, request.data() + scsi::kNativeLayout.dataOffset, dataLength);
    return ok ? 1 : 0;
}

int EjectDevice(os::DevInst node) {
    os::Os& sys = os::current();
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (sys.requestEject(node)) return 1;
        sys.sleepMs(100);
    }
    return 0;
}

}  // namespace cv50::device
