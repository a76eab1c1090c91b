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
// The request asks the device for an answer within 2 s (its TimeOutValue); the host waits
// 5 s for a driver that does not enforce that.
inline constexpr std::uint32_t kRequestBoundMs = 5000;
inline constexpr std::size_t kSenseLength = 24;
inline constexpr std::size_t kMaxData = 512;
inline constexpr std::size_t kCdbLength = 10;

// The request carries a SCSI_PASS_THROUGH header, whose buffer offset is a pointer-sized
// field: a 32-bit kernel reads the 44-byte header (4-byte offsets) of the 592-byte request,
// a 64-bit one a 56-byte header, and everything after the header moves 12 bytes on with it.
struct Layout {
    std::size_t headerLength;
    std::size_t dataBufferOffsetField;  // u32 or u64
    std::size_t dataBufferOffsetSize;
    std::size_t senseInfoOffsetField;   // u32
    std::size_t cdbOffset;              // Cdb[16]
    std::size_t senseOffset;
    std::size_t dataOffset;
    std::size_t requestSize;
};
inline constexpr Layout kLayout32{44, 20, 4, 24, 28, 48, 80, 592};
inline constexpr Layout kLayout64{56, 24, 8, 32, 36, 60, 92, 604};
// The one the running build's kernel expects.
inline constexpr const Layout& kNativeLayout = sizeof(void*) == 8 ? kLayout64 : kLayout32;

// Offsets of the header fields both layouts share.
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
}  // namespace field

using Cdb = std::array<std::uint8_t, kCdbLength>;

// The vendor command block: 0xA8 0xE0, the command number big-endian, the data length
// little-endian.
Cdb vendorCdb(std::uint32_t command, std::uint32_t dataLength);

// A whole request for `cdb` that asks for `dataLength` bytes (at most 512) from the device.
std::vector<std::uint8_t> packRequest(const Cdb& cdb, std::uint32_t dataLength,
                                      const Layout& layout = kNativeLayout);

// What a device sees in a request of either layout (told apart by the header's length);
// nothing when the buffer is no such request.
struct Request {
    Cdb cdb{};
    std::uint32_t dataLength = 0;
    bool dataIn = false;
    const Layout* layout = &kNativeLayout;
};
std::optional<Request> parseRequest(std::span<const std::uint8_t> buffer);

// The command number and data length of a vendor command block; nothing for another CDB.
struct VendorCommand {
    std::uint32_t command = 0;
    std::uint32_t dataLength = 0;
};
std::optional<VendorCommand> parseVendorCdb(const Cdb& cdb);

}  // namespace cv50::os::scsi
