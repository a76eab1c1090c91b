#include "engine/api/upgrade_device.h"

#include <string>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/device/log.h"
#include "engine/flash/boot_download.h"
#include "engine/flash/flash_device.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

constexpr int kTestAttempts = 10;

}  // namespace

int UpgradeDevice(const DEVICE_INFO& device, const UpgradeSizes& sizes,
                  const std::array<std::uint16_t, 3>& words, const flash::PiecePaths& pieces,
                  unsigned idBlockMode) {
    const std::string path = pathOf(device);
    const std::string layer = layerOf(device);
    os::Os& sys = os::current();

    flash::CFlashDevice flash;
    flash.SetDevice(path);
    flash.systemDiskMB = sizes.systemDiskMB;
    flash.systemCheckMB = sizes.imageSizeMB;
    flash.diskSizesText = std::to_string(sizes.configDiskMB);
    flash.noSystemMargin = sizes.hasSizeRecord ? 1 : 0;

    const bool maskRom = device.type == MaskRom;
    if (maskRom) {
        ReportProgress(layer, ProgressStep::DownloadBoot);
        Log("INFO:Download Boot start");
        flash::BootDownload boot(path);
        if (!boot.DownloadBoot(pieces.data, pieces.prog, pieces.prog2nd)) {
            Log("ERROR: Download boot failed");
            return kUpgradeBootFailed;
        }
        sys.sleepMs(1000);
    }
    flash.SetBootFiles(pieces.data, pieces.flashBoot);

    ReportProgress(layer, ProgressStep::TestDevice);
    Log("INFO:Test device start");
    int attempt = 0;
    for (; attempt < kTestAttempts; ++attempt) {
        const int r = CVU_TestUnitReady(path.c_str(), nullptr, nullptr);
        if (r == 0) break;
        Log("ERROR:Testing failed,ErrCode(%d)", r);
        sys.sleepMs(200);
    }
    if (attempt == kTestAttempts) {
        Log("ERROR:Testing device failed");
        return kUpgradeTestFailed;
    }

    flash.loaderWords = words;
    ReportProgress(layer, ProgressStep::WriteIdBlock);
    Log("INFO:Writing ID_Block start");
    const int r = flash.WriteIDBlock(idBlockMode != 0, maskRom);
    if (r < 0) {
        Log("ERROR:Writing ID_BLOCK failed,ErrCode(%d)", r);
        return kUpgradeIdBlockFailed;
    }
    Log("INFO:Writing ID_Block OK");
    return kUpgradeOk;
}

}  // namespace cv50::api
