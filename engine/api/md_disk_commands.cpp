// The MD_ operations that act on listed devices one by one: vendor commands to disks,
// ejecting disks, resetting loaders.
#include <cstring>
#include <functional>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/error_list.h"
#include "engine/api/export_guard.h"
#include "engine/api/md_exports.h"
#include "engine/device/disk_commands.h"
#include "engine/device/search.h"

namespace cv50::api {
namespace {

// Carries out `step` for every record in list order; a step returns nullptr on success or
// the message that goes into the error list.
int forEachDevice(SEARCH_RESULT* devices, ERROR_LIST* errors,
                  const std::function<const char*(DEVICE_INFO&, int index)>& step) {
    ErrorListWriter writer(errors, errorTable());
    if (devices == nullptr || devices->count < 1 || devices->devices == nullptr) return 1;
    int result = 1;
    for (int i = 0; i < devices->count; ++i) {
        DEVICE_INFO& d = devices->devices[i];
        d.status = StatusBusy;
        if (const char* failure = step(d, i)) {
            d.status = StatusFailed;
            writer.add(static_cast<unsigned>(i), failure);
            result = 0;
        } else {
            d.status = StatusOk;
        }
    }
    return result;
}

// The letter of a disk record: its own, or looked up (the record is not changed).
char driveOf(const DEVICE_INFO& d) {
    if (d.driveLetter) return d.driveLetter;
    return device::findDriveLetter(d.devicePath, d.devInst);
}

// A vendor command to every disk of the list.
int diskCommand(SEARCH_RESULT* devices, ERROR_LIST* errors, const char* failure,
                const std::function<int(char letter, int index)>& send) {
    return forEachDevice(devices, errors, [&](DEVICE_INFO& d, int i) -> const char* {
        if (d.type != Msc) return "Error:Device is not MSC";
        const char letter = driveOf(d);
        if (letter == 0) return "Error:Get drive failed";
        return send(letter, i) ? nullptr : failure;
    });
}

// An export that sends one command without data to every disk of the list.
int plainDiskCommand(const char* name, SEARCH_RESULT* devices, ERROR_LIST* errors,
                     const char* failure, unsigned command) {
    return Guarded(name, 0, [&] {
        return diskCommand(devices, errors, failure, [command](char letter, int) {
            return device::ScsiVendorCommand(letter, command, nullptr, 0);
        });
    });
}

}  // namespace
}  // namespace cv50::api

using namespace cv50;

extern "C" {

int MD_SwitchToCorvUsb(SEARCH_RESULT* devices, ERROR_LIST* errors) {
    return api::plainDiskCommand("MD_SwitchToCorvUsb", devices, errors,
                                 "Error:Switch device failed", device::kCommandSwitchToCorvUsb);
}

int MD_ShowSystemDisk(SEARCH_RESULT* devices, ERROR_LIST* errors) {
    return api::plainDiskCommand("MD_ShowSystemDisk", devices, errors,
                                 "Error:Show system disk failed", device::kCommandShowSystemDisk);
}

int MD_GetDeviceVersion(SEARCH_RESULT* devices, _CORV_VERSION* versions, ERROR_LIST* errors) {
    return api::Guarded("MD_GetDeviceVersion", 0, [&] {
        return api::diskCommand(
            devices, errors, "Error:Get version failed", [&](char letter, int i) {
                _CORV_VERSION v{};
                if (!device::ScsiVendorCommand(letter, device::kCommandReadVersion, &v, sizeof v))
                    return 0;
                if (versions) versions[i] = v;
                return 1;
            });
    });
}

int MD_SendExCommand(SEARCH_RESULT* devices, ERROR_LIST* errors, unsigned int command,
                     unsigned char* buffer, unsigned int length) {
    return api::Guarded("MD_SendExCommand", 0, [&] {
        return api::diskCommand(
            devices, errors, "Error:Send Extended Command failed", [&](char letter, int i) {
                unsigned char* slice =
                    buffer ? buffer + static_cast<std::size_t>(i) * length : nullptr;
                return device::ScsiVendorCommand(letter, command, slice, length);
            });
    });
}

int MD_RemoveCorvMsc(SEARCH_RESULT* devices, ERROR_LIST* errors) {
    return api::Guarded("MD_RemoveCorvMsc", 0, [&] {
        return api::forEachDevice(devices, errors, [](DEVICE_INFO& d, int) -> const char* {
            if (d.type != Msc) return "Error:Device is not MSC";
            return device::EjectDevice(d.devInst) ? nullptr : "Error:Remove usb failed";
        });
    });
}

int MD_ResetCorvUsb(SEARCH_RESULT* devices, ERROR_LIST* errors) {
    return api::Guarded("MD_ResetCorvUsb", 0, [&] {
        return api::forEachDevice(devices, errors, [](DEVICE_INFO& d, int) -> const char* {
            if (d.type != Loader) return "Error:Device is not Loader";
            return CVU_ResetDevice(d.devicePath) == 0 ? nullptr : "Error:Reset device failed";
        });
    });
}

}  // extern "C"
