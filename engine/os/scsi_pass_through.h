// The 592-byte SCSI pass-through request that carries a vendor command block to a
// disk volume, packed and parsed in portable code so its layout is checked everywhere.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace cv50::os::scsi {

inline constexpr std::uint32_t kIoctlScsiPassThrough = 0x4D004;
inline constexpr std::size_t kRequestSize = 592;
inline constexpr std::size_t kHeaderLength = 44;
inline constexpr std::size_t kSenseOffset = 48;
inline constexpr std::size_t kSenseLength = 24;
inline constexpr std::size_t kDataOffset = 80;
inline constexpr std::size_t kMaxData = 512;
inline constexpr std::size_t kCdbOffset = 28;  // inside the header
inline constexpr std::size_t kCdbLength = 10;

// Offsets of the 44-byte SCSI_PASS_THROUGH header the request carries (the 32-bit layout,
// with 4-byte buffer offsets); a 64-bit Windows kernel expects a 56-byte header instead.
namespace field {
inline constexpr std::size_t kLength = 0;               // u16
inline constexpr std::size_t kScsiStatus = 2;
inline constexpr std::size_t kPathId = 3;
inline constexpr std::size_t kTargetId = 4;
inline constexpr std::size_t kLun = 5;
inline constexpr std::size_t kCdbLength = 6;
inline constexpr std::size_t kSenseInfoLength = 7;
inline constexpr std::size_t kDataIn = 8;
inline constexpr std::size_t kDataTransferLength = 12;  // u32
inline constexpr std::size_t kTimeOutValue = 16;        // u32
inline constexpr std::size_t kDataBufferOffset = 20;    // u32
inline constexpr std::size_t kSenseInfoOffset = 24;     // u32
}  // namespace field

using Cdb = std::array<std::uint8_t, kCdbLength>;

// The vendor command block: 0xA8 0xE0, the command number big-endian, the data length
// little-endian.
Cdb vendorCdb(std::uint32_t command, std::uint32_t dataLength);

// A whole request for `cdb` that asks for `dataLength` bytes (at most 512) from the device.
std::vector<std::uint8_t> packRequest(const Cdb& cdb, std::uint32_t dataLength);

// What a device sees in a request; nothing when the buffer is not a request of this layout.
struct Request {
    Cdb cdb{};
    std::uint32_t dataLength = 0;
    bool dataIn = false;
};
std::optional<Request> parseRequest(std::span<const std::uint8_t> buffer);

// The command number and data length of a vendor command block; nothing for another CDB.
struct VendorCommand {
    std::uint32_t command = 0;
    std::uint32_t dataLength = 0;
};
std::optional<VendorCommand> parseVendorCdb(const Cdb& cdb);

}  // namespace cv50::os::scsi
