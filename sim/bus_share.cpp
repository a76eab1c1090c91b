#include "sim/bus_share.h"

#include <algorithm>

namespace cv50::sim {

double BusShare::reserveUs(double nowUs, double bytes) {
    std::lock_guard lock(mutex_);
    freeAtUs_ = std::max(freeAtUs_, nowUs) + bytes * 1e6 / bytesPerSecond_;
    return freeAtUs_;
}

}  // namespace cv50::sim
