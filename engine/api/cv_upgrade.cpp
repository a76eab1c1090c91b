// The device-record exports that write a device's flash: the ID Blocks (CV_Upgrade), the
// image (CV_DownloadImage), and the erase that sends a device back to its mask ROM.
#include <algorithm>
#include <cstdint>
#include <string>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/cv_exports.h"
#include "engine/api/export_guard.h"
#include "engine/api/image_worker.h"
#include "engine/api/record_text.h"
#include "engine/api/upgrade_device.h"
#include "engine/device/log.h"
#include "engine/flash/device_steps.h"
#include "engine/flash/flash_device.h"
#include "engine/flash/loader_file.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

std::uint32_t megabytes(unsigned long mb) {
    return static_cast<std::uint32_t>(std::min<unsigned long>(mb, UINT32_MAX));
}

int downloadImage(const DEVICE_INFO& device, const std::string& imagePath) {
    if (!TestUntilReady(device, MessageForm::Plain)) return 0;
    if (DownloadImageWithProgress(device, imagePath, MessageForm::Plain) != 0) {
        Log("ERROR:Download Image failed");
        return 0;
    }
    Log("INFO:Download Image OK");
    return 1;
}

int upgrade(const DEVICE_INFO& device, const UpgradeSizes& sizes, const char* loaderFile,
            unsigned idBlockMode) {
    flash::PiecePaths pieces;
    flash::BootHead head;
    if (loaderFile == nullptr || !flash::unpackBoot(loaderFile, pieces, head)) return -4;
    return UpgradeDevice(device, sizes, flash::idBlockWords(head), pieces, idBlockMode);
}

// Brings a mask-ROM device up with the loader's boot programs so that it answers the
// flash commands. nullptr, or the message of the failure.
const char* bootMaskRom(const std::string& path, const char* loaderFile) {
    if (loaderFile == nullptr) return "Error:Loader file is Null(EraseIDB)";
    flash::PiecePaths pieces;
    flash::BootHead head;
    if (!flash::unpackBoot(loaderFile, pieces, head)) return "Error:Unpack boot failed(EraseIDB)";
    const bool booted = flash::DownloadBootStep(path, pieces, {}, flash::kBootSettleMs);
    for (const std::string* piece :
         {&pieces.data, &pieces.prog, &pieces.prog2nd, &pieces.flashBoot})
        os::current().deleteFile(*piece);
    if (!booted) return "Error:Download boot failed(EraseIDB)";
    if (!flash::TestReadyStep(path, {})) return "Error:Test device failed(EraseIDB)";
    return nullptr;
}

const char* eraseIdb(DEVICE_INFO& device, unsigned short timeoutSeconds, int includeUsb11,
                     const char* loaderFile) {
    switch (device.type) {
        case Msc:
            if (!CV_SwitchCorvUsb(device)) return "Error:Switch to corv usb failed(EraseIDB)";
            if (!CV_WaitDevice(device, Loader, timeoutSeconds, includeUsb11))
                return "Error:Wait for corv usb failed(EraseIDB)";
            break;
        case Loader:
            break;
        case MaskRom:
            if (const char* failure = bootMaskRom(pathOf(device), loaderFile)) return failure;
            break;
        default:
            // Nothing on the port: there is no device path to erase.
            return "Error:Erase IDB failed(EraseIDB)";
    }
    flash::CFlashDevice flash;
    flash.SetDevice(pathOf(device));
    if (flash.EraseIDBArea() == 0) return "Error:Erase IDB failed(EraseIDB)";
    if (!CV_ResetDevice(device)) return "Error:Reset device failed(EraseIDB)";
    if (!CV_WaitDevice(device, MaskRom, timeoutSeconds, includeUsb11))
        return "Error:Wait for maskrom failed(EraseIDB)";
    return nullptr;
}

}  // namespace
}  // namespace cv50::api

int CV_DownloadImage(const DEVICE_INFO& device, char* imagePath) {
    return cv50::api::Guarded("CV_DownloadImage", 0, [&] {
        return cv50::api::downloadImage(device, imagePath ? imagePath : "");
    });
}

int CV_Upgrade(const DEVICE_INFO& device, unsigned long imageSizeMB, unsigned long systemDiskMB,
               unsigned long configDiskMB, char* loaderFile, int idBlockMode, int hasSizeRecord) {
    return cv50::api::Guarded("CV_Upgrade", -3, [&] {
        using cv50::api::megabytes;
        const cv50::api::UpgradeSizes sizes{megabytes(imageSizeMB), megabytes(systemDiskMB),
                                            megabytes(configDiskMB), hasSizeRecord != 0};
        return cv50::api::upgrade(device, sizes, loaderFile, static_cast<unsigned>(idBlockMode));
    });
}

int CV_EraseIDB(DEVICE_INFO& device, unsigned short timeoutSeconds, int includeUsb11,
                char* loaderFile) {
    return cv50::api::Guarded("CV_EraseIDB", 0, [&] {
        if (const char* failure =
                cv50::api::eraseIdb(device, timeoutSeconds, includeUsb11, loaderFile)) {
            cv50::Log("%s", failure);
            return 0;
        }
        return 1;
    });
}
