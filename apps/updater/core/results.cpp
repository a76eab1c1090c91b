#include "apps/updater/core/results.h"

namespace cv50::updater {

int resultOfUpgrade(int code) {
    switch (code) {
        case 0:
            return result::kOk;
        case -1:
            return result::kBootFailed;
        case -2:
            return result::kTestFailed;
        case -3:
            return result::kIdBlockFailed;
        case -4:
            return result::kLoaderUnusable;
        default:
            return result::kUpgradeFailed;
    }
}

ResultMessage resultMessage(Command command, int code) {
    switch (code) {
        case result::kOk:
            return {command == Command::Repair ? 20 : 21, false};
        case result::kSwitchFailed:
            return {111, true};
        case result::kNotBackAfterSwitch:
            return {112, true};
        case result::kLoaderUnusable:
            return {113, false};
        case result::kBootFailed:
            return {114, true};
        case result::kTestFailed:
            return {115, true};
        case result::kIdBlockFailed:
            return {116, true};
        case result::kNotBackAfterReset:
            return {117, true};
        case result::kImageFailed:
            return {118, true};
        case result::kCopyFailed:
            return {119, true};
        case result::kDriverFileMissing:
            return {121, false};
        case result::kDriverPathUnusable:
            return {122, false};
        case result::kDriverFailed:
            return {123, false};
        case result::kEraseFailed:
            return {124, true};
        default:
            return {101, true};
    }
}

}  // namespace cv50::updater
