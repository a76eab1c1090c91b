#include "engine/api/staged_upgrade.h"

#include "engine/api/md_exports.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/api/search_exports.h"
#include "engine/device/log.h"
#include "engine/device/search.h"
#include "engine/device/wait.h"

namespace cv50::api {

int RunStagedUpgrade(const StagedArgs& args, const StagedLastStep& last) {
    SEARCH_RESULT none{0, nullptr};
    SEARCH_RESULT& host = args.devices && args.devices->devices ? *args.devices : none;
    MergedErrors merged(args.errors, host);
    int ok = 1;

    ERROR_LIST step{0, nullptr};
    const int upgraded =
        MD_Upgrade(&host, args.imagePath, &step, args.idBlockMode, args.configDiskMB);
    merged.appendHost(step);
    OwnedList copy;
    if (upgraded == 1) {
        copy.copyAll(host);
    } else {
        copy.copySuccessful(host);
        ok = 0;
    }
    if (copy.empty()) {
        merged.appendForEveryone("Copy successful devices failed after upgrading");
        return 0;
    }

    for (int k = 0; k < copy.count(); ++k)
        ReportProgress(layerOf(copy[k]), ProgressStep::WaitLoader);
    Log("INFO:begin to wait for loader");
    const int back = device::WaitForDevices(&copy.get(), Loader, args.loaderTimeoutSeconds,
                                            device::walkFor(args.includeUsb11));
    Log("INFO:wait for loader return");
    if (back != 1) {
        merged.appendWaitFailures(copy.get());
        for (int k = 0; k < copy.count(); ++k)
            if (copy[k].status != StatusOk) ReportProgress(layerOf(copy[k]), ProgressStep::Failed);
        ok = 0;
        copy.copySuccessful(copy.get());
    }
    if (copy.empty()) {
        merged.appendForEveryone("Copy successful devices failed after waitting loader");
        return 0;
    }

    if (MD_DownImage(&copy.get(), args.imagePath, &step) != 1) {
        merged.appendStep(step, copy.get());
        ok = 0;
        copy.copySuccessful(copy.get());
    }
    return last(copy, merged) == 1 ? ok : 0;
}

}  // namespace cv50::api
