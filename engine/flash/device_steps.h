// The two steps every road through a mask-ROM device begins with, written once: the boot
// programs sent and the pause while they start, then the unit-ready test until the loader
// answers. Each program says what happens in its own words, and names its own pauses.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "engine/flash/loader_file.h"

namespace cv50::flash {

enum class StepEvent {
    BootStart,
    BootFailed,
    BootDone,
    TestStart,
    TestAttemptFailed,  // the code is the unit-ready answer
    TestFailed,         // every attempt failed
    TestDone,
};

// Told of each event as it happens; `code` is 0 but for TestAttemptFailed.
using StepReport = std::function<void(StepEvent event, int code)>;

// Printf texts by event, logged through the engine's log; nullptr says nothing. The text
// of TestAttemptFailed takes the code ("%d"); `layer` is the first argument of every text
// when set (texts that begin "<Layer:%s> ").
struct StepTexts {
    const char* bootStart = nullptr;
    const char* bootFailed = nullptr;
    const char* bootDone = nullptr;
    const char* testStart = nullptr;
    const char* testAttemptFailed = nullptr;
    const char* testFailed = nullptr;
    const char* testDone = nullptr;
};
StepReport LogSteps(const StepTexts& texts, std::string layer = {});

// How long the boot programs take to start before the loader is asked anything.
inline constexpr std::uint32_t kBootSettleMs = 2000;
// The unit-ready test of a loader that just started: 10 tries, 200 ms apart.
struct TestTiming {
    int attempts = 10;
    std::uint32_t retryMs = 200;
};
inline constexpr TestTiming kLoaderStartTest{};

// data.bin, prog.bin and prog2nd.bin of `pieces` into the mask-ROM device at `devicePath`,
// under `lock` when one is given (one download at a time on a station), then `settleMs` of
// pause. False when the download failed.
[[nodiscard]] bool DownloadBootStep(const std::string& devicePath, const PiecePaths& pieces,
                                    const StepReport& report, std::uint32_t settleMs,
                                    std::mutex* lock = nullptr);

// CVU_TestUnitReady until it answers 0, at most `timing.attempts` times. False when it never
// did.
[[nodiscard]] bool TestReadyStep(const std::string& devicePath, const StepReport& report,
                                 TestTiming timing = kLoaderStartTest);

// The unit-ready test of a loader that may still be scanning its flash after a reset:
// 3 failures in a row give up, 1000 ms after each answer that is not the end.
inline constexpr TestTiming kScanningLoaderTest{3, 1000};
struct ReadyWatch {
    // A busy answer, with the blocks to scan and the block reached; it never counts as a
    // failure and sets the count of failures in a row back to 0.
    std::function<void(unsigned total, unsigned current)> busy;
    // Any other answer but 0, with its code.
    std::function<void(int code)> failed;
    // Asked before every test: true ends the wait (a program closing).
    std::function<bool()> stop;
};
// CVU_TestUnitReady with its progress until it answers 0 (true); false after
// `timing.attempts` failures in a row, or when told to stop.
[[nodiscard]] bool TestUntilReady(const std::string& devicePath, const ReadyWatch& watch,
                                  TestTiming timing = kScanningLoaderTest);

}  // namespace cv50::flash
