// MD_Upgrade_Prepare and MD_Upgrade_Work: gathering the devices of a staged upgrade, and
// the upgrade that ends with a reset.
#include "engine/api/export_guard.h"
#include "engine/api/md_exports.h"
#include "engine/api/owned_list.h"
#include "engine/api/staged_upgrade.h"
#include "engine/device/search.h"
#include "engine/device/wait.h"

namespace cv50::api {
namespace {

int prepare(SEARCH_RESULT* out, unsigned short loaderTimeoutSeconds, bool includeUsb11) {
    if (out == nullptr) return 0;
    *out = SEARCH_RESULT{0, nullptr};
    SEARCH_RESULT scanned{0, nullptr};
    const int disks =
        device::Scan(&scanned, device::walkFor(includeUsb11), device::Family::CorvMsc);
    if (disks > 0) {
        OwnedList switching;
        switching.copyAll(scanned);
        ERROR_LIST ignored{0, nullptr};
        MD_SwitchToCorvUsb(&switching.get(), &ignored);
        OwnedList switched;
        switched.copySuccessful(switching.get());
        switching.release();
        if (!switched.empty())
            device::WaitForDevices(&switched.get(), Loader, loaderTimeoutSeconds,
                                   device::walkFor(includeUsb11));
    }
    const int found =
        device::Scan(&scanned, device::walkFor(includeUsb11), device::Family::CorvUsb);
    if (found < 1) return 0;
    OwnedList copy;
    if (!copy.copyAll(scanned)) return 0;
    *out = copy.take();
    return found;
}

int resetRemaining(OwnedList& remaining, MergedErrors&) {
    if (!remaining.empty()) {
        ERROR_LIST ignored{0, nullptr};
        MD_ResetCorvUsb(&remaining.get(), &ignored);
    }
    return 1;
}

}  // namespace
}  // namespace cv50::api

extern "C" {

int MD_Upgrade_Prepare(SEARCH_RESULT* out, unsigned short loaderTimeoutSeconds, int includeUsb11) {
    return cv50::api::Guarded("MD_Upgrade_Prepare", 0, [&] {
        return cv50::api::prepare(out, loaderTimeoutSeconds, includeUsb11 != 0);
    });
}

int MD_Upgrade_Work(SEARCH_RESULT* devices, char* imagePath, ERROR_LIST* errors, unsigned int,
                    unsigned short loaderTimeoutSeconds, unsigned int idBlockMode, int includeUsb11,
                    unsigned int configDiskMB) {
    return cv50::api::Guarded("MD_Upgrade_Work", 0, [&] {
        const cv50::api::StagedArgs args{
            devices,     imagePath,         errors,      loaderTimeoutSeconds,
            idBlockMode, includeUsb11 != 0, configDiskMB};
        return cv50::api::RunStagedUpgrade(args, cv50::api::resetRemaining);
    });
}

}  // extern "C"
