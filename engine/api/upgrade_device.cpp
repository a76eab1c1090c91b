#include "engine/api/upgrade_device.h"

#include <string>

#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/device/log.h"
#include "engine/flash/device_steps.h"
#include "engine/flash/flash_device.h"

namespace cv50::api {
namespace {

// The library's own flows give a booted mask ROM a second before the first test.
constexpr std::uint32_t kBootSettleMs = 1000;

const flash::StepTexts kTexts{"INFO:Download Boot start",
                              "ERROR: Download boot failed",
                              nullptr,
                              "INFO:Test device start",
                              "ERROR:Testing failed,ErrCode(%d)",
                              "ERROR:Testing device failed",
                              nullptr};

}  // namespace

int UpgradeDevice(const DEVICE_INFO& device, const UpgradeSizes& sizes,
                  const std::array<std::uint16_t, 3>& words, const flash::PiecePaths& pieces,
                  unsigned idBlockMode) {
    const std::string path = pathOf(device);
    const std::string layer = layerOf(device);
    const flash::StepReport log = flash::LogSteps(kTexts);
    const flash::StepReport report = [&](flash::StepEvent event, int code) {
        if (event == flash::StepEvent::BootStart) ReportProgress(layer, ProgressStep::DownloadBoot);
        if (event == flash::StepEvent::TestStart) ReportProgress(layer, ProgressStep::TestDevice);
        log(event, code);
    };

    flash::CFlashDevice flash;
    flash.SetDevice(path);
    flash.systemDiskMB = sizes.systemDiskMB;
    flash.systemCheckMB = sizes.imageSizeMB;
    flash.diskSizesText = std::to_string(sizes.configDiskMB);
    flash.noSystemMargin = sizes.hasSizeRecord ? 1 : 0;

    const bool maskRom = device.type == MaskRom;
    if (maskRom && !flash::DownloadBootStep(path, pieces, report, kBootSettleMs))
        return kUpgradeBootFailed;
    flash.SetBootFiles(pieces.data, pieces.flashBoot);
    if (!flash::TestReadyStep(path, report)) return kUpgradeTestFailed;

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
