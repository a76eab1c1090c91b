// The bandwidth that the players behind one host controller (or one hub) share: every bulk
// transfer takes its turn on the link, so sixteen players writing at once get about a
// sixteenth each, as on a real station.
#pragma once

#include <mutex>

namespace cv50::sim {

// What real USB 2.0 hosts reach of the 53.2 MB/s bulk ceiling, and of a full-speed link.
inline constexpr double kUsb20SharedBytesPerSecond = 40'000'000.0;
inline constexpr double kUsb11SharedBytesPerSecond = 1'000'000.0;

class BusShare {
public:
    explicit BusShare(double bytesPerSecond) : bytesPerSecond_(bytesPerSecond) {}

    // Takes the link for `bytes` from `nowUs` (simulated microseconds) on, after the
    // transfers before it; returns when the transfer ends.
    double reserveUs(double nowUs, double bytes);

private:
    const double bytesPerSecond_;
    std::mutex mutex_;
    double freeAtUs_ = 0;
};

}  // namespace cv50::sim
