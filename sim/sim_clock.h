// Simulated time: the wall clock run `speed` times faster, so a 20 s timeout keeps
// its meaning while a test waits only 20 s / speed.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

#include "engine/os/os.h"

namespace cv50::sim {

class SimClock {
public:
    // `start` is the local time at creation; the real local time when not given.
    explicit SimClock(double speed = 1.0, std::optional<os::LocalTime> start = std::nullopt);

    double speed() const { return speed_; }
    os::LocalTime localTime() const;
    // Simulated milliseconds since creation.
    std::uint64_t tickMs() const;
    // Blocks for `ms` simulated milliseconds.
    void sleepMs(std::uint32_t ms) const;
    // Makes the local time read `t` from now on; simulated ticks run on unchanged.
    void setLocalTime(const os::LocalTime& t);

private:
    double speed_;
    std::chrono::steady_clock::time_point startReal_;
    mutable std::mutex mutex_;
    std::int64_t baseLocalMs_ = 0;  // local time at tick 0, ms since 1970-01-01 (naive calendar)
};

// Milliseconds since 1970-01-01 00:00:00 of a calendar time, and back.
std::int64_t toMs(const os::LocalTime& t);
os::LocalTime fromMs(std::int64_t ms);

}  // namespace cv50::sim
