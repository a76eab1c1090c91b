// A sector device held in memory, for tests and simulated disks. Sectors never written, or
// last written with zeros, take no memory, so a volume of gigabytes costs only what is on it.
#pragma once

#include <algorithm>
#include <array>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "fwpkg/sector_device.h"

namespace cv50::fwpkg {

class MemorySectorDevice final : public SectorDevice {
public:
    explicit MemorySectorDevice(std::uint64_t sectors) : sectors_(sectors) {}

    std::uint64_t sectorCount() const override { return sectors_; }

    bool read(std::uint64_t first, std::span<std::uint8_t> out) override {
        std::lock_guard lock(mutex_);
        if (!inside(first, out.size())) return false;
        for (std::size_t i = 0; i < out.size() / kSectorBytes; ++i) {
            auto it = stored_.find(first + i);
            auto to = out.begin() + static_cast<std::ptrdiff_t>(i * kSectorBytes);
            if (it == stored_.end())
                std::fill_n(to, kSectorBytes, 0);
            else
                std::copy(it->second.begin(), it->second.end(), to);
        }
        return true;
    }

    bool write(std::uint64_t first, std::span<const std::uint8_t> in) override {
        std::lock_guard lock(mutex_);
        if (!inside(first, in.size()) || first + in.size() / kSectorBytes > failFrom_) return false;
        for (std::size_t i = 0; i < in.size() / kSectorBytes; ++i) {
            const auto from = in.begin() + static_cast<std::ptrdiff_t>(i * kSectorBytes);
            if (std::all_of(from, from + kSectorBytes, [](std::uint8_t b) { return b == 0; })) {
                stored_.erase(first + i);
                continue;
            }
            std::copy_n(from, kSectorBytes, stored_[first + i].begin());
        }
        return true;
    }

    // Every write that reaches sector `first` or beyond fails from now on: a medium that breaks.
    void failWritesFrom(std::uint64_t first) {
        std::lock_guard lock(mutex_);
        failFrom_ = first;
    }

private:
    bool inside(std::uint64_t first, std::size_t bytes) const {
        return bytes % kSectorBytes == 0 && first <= sectors_ &&
               bytes / kSectorBytes <= sectors_ - first;
    }

    std::mutex mutex_;
    const std::uint64_t sectors_;
    std::uint64_t failFrom_ = std::numeric_limits<std::uint64_t>::max();
    std::unordered_map<std::uint64_t, std::array<std::uint8_t, kSectorBytes>> stored_;
};

}  // namespace cv50::fwpkg
