// MD_Upgrade: the loader out of the image, then every CorvUsb device of the list brought
// to fresh ID Blocks and reset, one after the other.
#include <algorithm>
#include <string>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/error_list.h"
#include "engine/api/export_guard.h"
#include "engine/api/md_exports.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/api/upgrade_device.h"
#include "engine/device/log.h"
#include "engine/flash/image_check.h"
#include "engine/flash/loader_file.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

// The sizes an upgrade takes from the image; nullptr, or the message that refuses it.
const char* upgradeSizesOf(const std::string& imagePath, std::uint32_t callerConfigMB,
                           UpgradeSizes& sizes) {
    flash::TailFields tail;
    const flash::TailCheck check = flash::checkImageTail(imagePath, tail);
    if (check == flash::TailCheck::Unreadable || !flash::imageSizeMB(imagePath, sizes.imageSizeMB))
        return "Error:Open Image file failed";
    if (check == flash::TailCheck::Refused) return "Error:Check Version Information failed";
    if (check == flash::TailCheck::SizesValid) {
        sizes.systemDiskMB = tail.systemDiskMB;
        sizes.configDiskMB = std::max(tail.configDiskMB, callerConfigMB);
        sizes.hasSizeRecord = true;
    } else {
        sizes.systemDiskMB = sizes.imageSizeMB;
        sizes.configDiskMB = callerConfigMB;
        sizes.hasSizeRecord = false;
    }
    return nullptr;
}

const char* upgradeFailure(int result) {
    switch (result) {
        case kUpgradeIdBlockFailed:
            return "Error:Write ID_BLOCK failed";
        case kUpgradeTestFailed:
            return "Error:Test device failed";
        case kUpgradeBootFailed:
            return "Error:Download boot file failed";
        default:
            return "Error:unknown error";
    }
}

int failAll(SEARCH_RESULT& list, ErrorListWriter& errors, const char* text) {
    for (int i = 0; i < list.count; ++i) {
        list.devices[i].status = StatusFailed;
        errors.add(static_cast<unsigned>(i), text);
    }
    return 0;
}

void fail(DEVICE_INFO& d, int index, ErrorListWriter& errors, const char* text) {
    d.status = StatusFailed;
    errors.add(static_cast<unsigned>(index), text);
    ReportProgress(layerOf(d), ProgressStep::Failed);
}

int upgrade(SEARCH_RESULT* devices, const std::string& imagePath, ERROR_LIST* errorList,
            unsigned idBlockMode, unsigned configDiskMB) {
    ErrorListWriter errors(errorList, errorTable());
    SEARCH_RESULT list{0, nullptr};
    if (devices != nullptr && devices->count > 0 && devices->devices != nullptr) list = *devices;
    os::Os& sys = os::current();

    const std::string loaderPath = flash::bootTempFolder() + flash::kLoaderFileName;
    if (!flash::extractLoaderFile(imagePath, loaderPath))
        return failAll(list, errors, "Error:Extract boot file failed");
    flash::PiecePaths pieces;
    flash::BootHead head;
    UpgradeSizes sizes;
    const char* refusal = nullptr;
    if (!flash::unpackBoot(loaderPath, pieces, head))
        refusal = "Error:Unpack boot file failed";
    else
        refusal = upgradeSizesOf(imagePath, configDiskMB, sizes);
    if (refusal) {
        sys.deleteFile(loaderPath);
        return failAll(list, errors, refusal);
    }
    const auto words = flash::idBlockWords(head);

    for (int i = 0; i < list.count; ++i) {
        DEVICE_INFO& d = list.devices[i];
        d.status = StatusBusy;
        if (d.type != MaskRom && d.type != Loader) {
            fail(d, i, errors, "Error:Device is not Corvusb");
            continue;
        }
        const std::string layer = layerOf(d);
        ReportProgress(layer, ProgressStep::Upgrade);
        Log("<Layer:%s> INFO:Begin to upgrade", layer.c_str());
        const int r = UpgradeDevice(d, sizes, words, pieces, idBlockMode);
        if (r == kUpgradeOk)
            d.status = StatusOk;
        else
            fail(d, i, errors, upgradeFailure(r));
    }
    for (int i = 0; i < list.count; ++i) {
        DEVICE_INFO& d = list.devices[i];
        if (d.status != StatusOk) continue;
        ReportProgress(layerOf(d), ProgressStep::Reset);
        if (CVU_ResetDevice(pathOf(d).c_str()) != 0) {
            fail(d, i, errors, "Error:Reset device failed");
            continue;
        }
        ReportProgress(layerOf(d), ProgressStep::Done);
    }

    sys.sleepMs(1000);
    sys.deleteFile(loaderPath);
    for (const std::string* piece :
         {&pieces.data, &pieces.prog, &pieces.prog2nd, &pieces.flashBoot})
        sys.deleteFile(*piece);
    return errors.count() == 0 ? 1 : 0;
}

}  // namespace
}  // namespace cv50::api

extern "C" int MD_Upgrade(SEARCH_RESULT* devices, char* imagePath, ERROR_LIST* errors,
                          unsigned int idBlockMode, unsigned int configDiskMB) {
    return cv50::api::Guarded("MD_Upgrade", 0, [&] {
        return cv50::api::upgrade(devices, imagePath ? imagePath : "", errors, idBlockMode,
                                  configDiskMB);
    });
}
