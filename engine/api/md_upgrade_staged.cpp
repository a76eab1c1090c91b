// MD_Upgrade_Prepare and MD_Upgrade_Work: gathering the devices of a staged upgrade, and
// the upgrade that ends with a reset.
#include "engine/api/md_exports.h"
#include "engine/api/owned_list.h"
#include "engine/api/staged_upgrade.h"
#include "engine/device/search.h"

namespace cv50::api {
namespace {

int prepare(SEARCH_RESULT* out, unsigned short loaderTimeoutSeconds, bool includeUsb11) {
    if (out == nullptr) return 0;
    *out = SEARCH_RESULT{0, nullptr};
    SEARCH_RESULT scanned{0, nullptr};
    const int disks = includeUsb11 ? ScanCorvMsc_All(&scanned) : ScanCorvMsc(&scanned);
    if (disks > 0) {
        OwnedList switching;
        switching.copyAll(scanned);
        ERROR_LIST ignored{0, nullptr};
        MD_SwitchToCorvUsb(&switching.get(), &ignored);
        OwnedList switched;
        switched.copySuccessful(switching.get());
        switching.release();
        if (!switched.empty()) {
            if (includeUsb11)
                WaitCVDevice_All(&switched.get(), Loader, loaderTimeoutSeconds);
            else
                WaitCVDevice(&switched.get(), Loader, loaderTimeoutSeconds);
        }
    }
    const int found = includeUsb11 ? ScanCorvUsb_All(&scanned) : ScanCorvUsb(&scanned);
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
    try {
        return cv50::api::prepare(out, loaderTimeoutSeconds, includeUsb11 != 0);
    } catch (...) {
        return 0;
    }
}

int MD_Upgrade_Work(SEARCH_RESULT* devices, char* imagePath, ERROR_LIST* errors, unsigned int,
                    unsigned short loaderTimeoutSeconds, unsigned int idBlockMode, int includeUsb11,
                    unsigned int configDiskMB) {
    try {
        const cv50::api::StagedArgs args{
            devices,     imagePath,         errors,      loaderTimeoutSeconds,
            idBlockMode, includeUsb11 != 0, configDiskMB};
        return cv50::api::RunStagedUpgrade(args, cv50::api::resetRemaining);
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
