// The chain of the staged upgrade calls: MD_Upgrade, the wait for the loaders and
// MD_DownImage on the devices that made it so far, then the call's own last step.
#pragma once

#include <functional>

#include "engine/api/owned_list.h"
#include "engine/api/staged_errors.h"
#include "engine/device/records.h"

namespace cv50::api {

struct StagedArgs {
    SEARCH_RESULT* devices = nullptr;
    char* imagePath = nullptr;
    ERROR_LIST* errors = nullptr;
    unsigned short loaderTimeoutSeconds = 0;
    unsigned idBlockMode = 0;
    bool includeUsb11 = false;
    unsigned configDiskMB = 0;
};

// The last step on the devices whose image went through (possibly none); 1 or 0.
using StagedLastStep = std::function<int(OwnedList& remaining, MergedErrors& merged)>;

// 1 when every step went well for every device.
int RunStagedUpgrade(const StagedArgs& args, const StagedLastStep& last);

}  // namespace cv50::api
