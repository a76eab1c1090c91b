// MD_Upgrade_Format and MD_Upgrade_Copy: the staged upgrade that ends with the disks
// formatted, and with a folder copied onto them.
#include "engine/api/export_guard.h"
#include "engine/api/md_exports.h"
#include "engine/api/staged_upgrade.h"

namespace cv50::api {
namespace {

StagedLastStep copyDataStep(unsigned short mscTimeoutSeconds, char* volumeLabel, char* sourceFolder,
                            bool includeUsb11) {
    return [=](OwnedList& remaining, MergedErrors& merged) {
        if (remaining.empty()) {
            merged.appendForEveryone("Copy successful devices failed after download image");
            return 0;
        }
        ERROR_LIST step{0, nullptr};
        if (MD_CopyData(&remaining.get(), &step, mscTimeoutSeconds, volumeLabel, sourceFolder,
                        includeUsb11 ? 1 : 0) == 1)
            return 1;
        merged.appendStep(step, remaining.get());
        return 0;
    };
}

}  // namespace
}  // namespace cv50::api

namespace {

// The staged road ending with the format and, given a folder, the copy.
int formatCopyUpgrade(const char* name, SEARCH_RESULT* devices, char* imagePath,
                      char* sourceFolder, ERROR_LIST* errors, unsigned short mscTimeoutSeconds,
                      unsigned short loaderTimeoutSeconds, char* volumeLabel,
                      unsigned int idBlockMode, int includeUsb11, unsigned int configDiskMB) {
    return cv50::api::Guarded(name, 0, [&] {
        const cv50::api::StagedArgs args{
            devices,     imagePath,         errors,      loaderTimeoutSeconds,
            idBlockMode, includeUsb11 != 0, configDiskMB};
        return cv50::api::RunStagedUpgrade(
            args, cv50::api::copyDataStep(mscTimeoutSeconds, volumeLabel, sourceFolder,
                                          args.includeUsb11));
    });
}

}  // namespace

extern "C" {

int MD_Upgrade_Format(SEARCH_RESULT* devices, char* imagePath, ERROR_LIST* errors,
                      unsigned short mscTimeoutSeconds, unsigned short loaderTimeoutSeconds,
                      char* volumeLabel, unsigned int idBlockMode, int includeUsb11,
                      unsigned int configDiskMB) {
    return formatCopyUpgrade("MD_Upgrade_Format", devices, imagePath, nullptr, errors,
                             mscTimeoutSeconds, loaderTimeoutSeconds, volumeLabel, idBlockMode,
                             includeUsb11, configDiskMB);
}

int MD_Upgrade_Copy(SEARCH_RESULT* devices, char* imagePath, char* sourceFolder, ERROR_LIST* errors,
                    unsigned short mscTimeoutSeconds, unsigned short loaderTimeoutSeconds,
                    char* volumeLabel, unsigned int idBlockMode, int includeUsb11,
                    unsigned int configDiskMB) {
    return formatCopyUpgrade("MD_Upgrade_Copy", devices, imagePath, sourceFolder, errors,
                             mscTimeoutSeconds, loaderTimeoutSeconds, volumeLabel, idBlockMode,
                             includeUsb11, configDiskMB);
}

}  // extern "C"
