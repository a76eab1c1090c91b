// Bytes of a sector device in the other forms the FAT code and the tools want: a byte
// source for the reader, and a host file holding the whole device.
#pragma once

#include <string>

#include "fwpkg/byte_source.h"
#include "fwpkg/sector_device.h"

namespace cv50::fwpkg {

// Reads at any offset by reading the sectors around it. `device` must outlive the source.
class SectorDeviceSource final : public ByteSource {
public:
    explicit SectorDeviceSource(SectorDevice& device) : device_(device) {}
    std::uint64_t size() const override { return device_.sectorCount() * kSectorBytes; }
    bool read(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    SectorDevice& device_;
};

// Writes every sector of `device` to the host file `hostPath` (replaced). False, with a
// message in `error`, when the device or the file fails.
bool saveDeviceImage(SectorDevice& device, const std::string& hostPath, std::string& error);

}  // namespace cv50::fwpkg
