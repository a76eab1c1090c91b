// A stand-in loader for benchmarks: answers CVU_WriteLBA and CVU_ReadLBA from a generator
// (the content of sector s is a function of s) and keeps nothing, so the memory of a
// process that writes a large image is the host's own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "cvusbcomm/wire.h"
#include "sim/corvusb_endpoint.h"

namespace cv50::bench {

// The 512 bytes of sector `sector`.
void generateSector(std::uint64_t sector, std::span<std::uint8_t, 512> out);

class GeneratedDisk : public sim::CorvUsbEndpoint {
public:
    bool hostWrite(std::span<const std::uint8_t> data) override;
    long long hostRead(std::span<std::uint8_t> buffer) override;

    // Written bytes that differed from the generator.
    std::uint64_t mismatches() const { return mismatches_; }

private:
    void start(const cvusb::Command& c);
    void finish(const cvusb::Command& c, std::int32_t result);

    std::vector<std::uint8_t> command_;  // a command block still arriving
    std::optional<cvusb::Command> writing_;
    std::uint64_t outDone_ = 0;  // bytes of the out-phase received
    std::uint64_t mismatches_ = 0;
    std::array<std::uint8_t, 512> expected_{};
    std::vector<std::uint8_t> output_;  // in-phase and status, at most one transfer
    std::size_t outputRead_ = 0;
};

}  // namespace cv50::bench
