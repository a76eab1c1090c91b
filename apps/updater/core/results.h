// How a command ends: the worker's result codes, what CV_Upgrade's codes become, and the
// message of each result.
#pragma once

namespace cv50::updater {

namespace result {
inline constexpr int kOk = 0;
inline constexpr int kSwitchFailed = -1;
inline constexpr int kNotBackAfterSwitch = -2;
inline constexpr int kLoaderUnusable = -3;
inline constexpr int kBootFailed = -4;
inline constexpr int kTestFailed = -5;
inline constexpr int kIdBlockFailed = -6;
inline constexpr int kUpgradeFailed = -7;
inline constexpr int kNotBackAfterReset = -8;
inline constexpr int kImageFailed = -9;
inline constexpr int kCopyFailed = -10;
inline constexpr int kDriverFileMissing = -11;
inline constexpr int kDriverPathUnusable = -12;
inline constexpr int kDriverFailed = -13;
inline constexpr int kEraseFailed = -14;
}  // namespace result

// The two commands, as the worker's mode and CV_Upgrade's ID Block mode.
enum class Command : int { Upgrade = 0, Repair = 1 };

// The result of a nonzero CV_Upgrade code: -1 boot, -2 test, -3 ID Block, -4 loader file,
// anything else the general failure.
int resultOfUpgrade(int code);

// The text key (IDS_<key>) of a result's message and whether IDS_93 follows it. A code
// outside -14..0 is the general failure.
struct ResultMessage {
    int key = 0;
    bool suffix = false;
};
ResultMessage resultMessage(Command command, int code);

}  // namespace cv50::updater
