// The production tool's run-time texts by their language-file key: each is "IDS_<n>" under
// [String]. The list lines of a slot take the slot's Layer as their first argument.
#pragma once

namespace cv50::batch {

// A progress line of one slot; its value is the n of its key.
enum class Line : int {
    BootStart = 1,
    BootDone = 2,
    BootFailed = 3,            // red
    UpgradeStart = 9,
    UpgradeDone = 10,
    UpgradeFailed = 12,        // red
    TestDone = 36,
    TestStart = 37,
    ResetFailed = 47,          // red
    ResetDone = 48,
    ResetStart = 49,
    IdBlockStart = 50,
    IdBlockFailed = 51,        // red
    IdBlockDone = 52,
    ImageThread = 59,
    TestFailed = 61,           // red
    ImageStart = 62,
    ImageFailed = 63,          // red
    ImageDone = 64,            // Layer, ms
    StageOneDone = 68,
    ReturnTimedOut = 69,       // red
    DemoDiskStart = 72,
    DemoDiskFailed = 73,       // red
    FormatStart = 74,
    FormatFailed = 75,         // red
    CopyStart = 76,
    CopyFailed = 77,           // red
    CopyDone = 78,             // Layer, ms
    ResetFlagStart = 79,
    ResetFlagFailed = 80,      // red
    ImageWriting = 87,
    ImageVerifying = 88,
};

// Failures are shown red.
constexpr bool isFailure(Line line) {
    switch (line) {
        case Line::BootFailed:
        case Line::UpgradeFailed:
        case Line::ResetFailed:
        case Line::IdBlockFailed:
        case Line::TestFailed:
        case Line::ImageFailed:
        case Line::ReturnTimedOut:
        case Line::DemoDiskFailed:
        case Line::FormatFailed:
        case Line::CopyFailed:
        case Line::ResetFlagFailed:
            return true;
        default:
            return false;
    }
}

// Lines that carry a number after the Layer.
constexpr bool takesValue(Line line) { return line == Line::ImageDone || line == Line::CopyDone; }

// Texts of the main window, by key.
namespace key {
inline constexpr int kNoBootFile = 40;
inline constexpr int kNoImageFile = 41;
inline constexpr int kImageUnreadable = 42;
inline constexpr int kImageSizeInvalid = 43;
inline constexpr int kNoDevice = 44;
inline constexpr int kBatchStarts = 45;       // number of devices
inline constexpr int kBatchResult = 46;       // succeeded, failed
inline constexpr int kAskSystemDisk = 53;     // the update's questions
inline constexpr int kAskUserDisk = 54;
inline constexpr int kDemoStageStarts = 71;   // number of devices
inline constexpr int kAskForceErase = 84;
inline constexpr int kAskReplaceBoot = 85;
inline constexpr int kImageTooLarge = 86;     // image MiB, system-disk MiB
}  // namespace key

}  // namespace cv50::batch
