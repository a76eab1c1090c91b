// Request and answer buffers of the USB hub I/O controls, packed and parsed in
// portable code so their layouts are checked on every platform. The Windows
// backend only adds the DeviceIoControl call around them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/os/os.h"

namespace cv50::os::usbreq {

inline constexpr std::uint32_t kGetRootHubName = 0x220408;
inline constexpr std::uint32_t kGetNodeInformation = 0x220408;  // same code, sent to a hub
inline constexpr std::uint32_t kGetNodeConnectionInformation = 0x22040C;
inline constexpr std::uint32_t kGetNodeConnectionName = 0x220414;
inline constexpr std::uint32_t kGetNodeConnectionDriverKeyName = 0x220420;

// USB_ROOT_HUB_NAME: ULONG ActualLength, WCHAR name[].
inline constexpr std::size_t kRootHubNameHeaderSize = 6;
// USB_NODE_INFORMATION: NodeType, then the hub descriptor (bNumberOfPorts at 6).
inline constexpr std::size_t kNodeInformationSize = 76;
inline constexpr std::size_t kNodeInformationPortsOffset = 6;
// USB_NODE_CONNECTION_INFORMATION: 35 fixed bytes and 30 pipe records of 11 bytes.
inline constexpr std::size_t kConnectionInfoFixedSize = 35;
inline constexpr std::size_t kPipeInfoSize = 11;
inline constexpr std::size_t kConnectionInfoSize = kConnectionInfoFixedSize + 30 * kPipeInfoSize;
// USB_NODE_CONNECTION_NAME and _DRIVERKEY_NAME: ConnectionIndex, ActualLength, WCHAR name[].
inline constexpr std::size_t kConnectionNameHeaderSize = 10;

// Offsets inside USB_NODE_CONNECTION_INFORMATION (packed to 1 byte).
namespace conn {
inline constexpr std::size_t kConnectionIndex = 0;
inline constexpr std::size_t kBcdUSB = 6;
inline constexpr std::size_t kIdVendor = 12;
inline constexpr std::size_t kIdProduct = 14;
inline constexpr std::size_t kCurrentConfigurationValue = 22;
inline constexpr std::size_t kDeviceIsHub = 24;
inline constexpr std::size_t kConnectionStatus = 31;
}  // namespace conn

using Bytes = std::vector<std::uint8_t>;

// A zeroed node-information buffer of the full request size.
Bytes nodeInformationRequest();
// bNumberOfPorts from a node-information answer; nothing when it is too short.
std::optional<unsigned> parseNodeInformationPorts(std::span<const std::uint8_t> answer);

// A zeroed connection-information buffer whose ConnectionIndex is `port`.
Bytes connectionInfoRequest(unsigned port);
// The fields the walk reads; nothing when fewer than the fixed bytes came back.
std::optional<ConnectionInfo> parseConnectionInfo(std::span<const std::uint8_t> answer);

// Root hub name: first a header-only buffer tells the size, then a buffer of that size.
Bytes rootHubNameRequest(std::size_t size = kRootHubNameHeaderSize);
// ActualLength of a root-hub-name answer (the size of the whole structure in bytes).
std::optional<std::uint32_t> parseRootHubNameLength(std::span<const std::uint8_t> answer);
std::optional<std::u16string> parseRootHubName(std::span<const std::uint8_t> answer);

// Connection name and driver key name share one layout.
Bytes connectionNameRequest(unsigned port, std::size_t size = kConnectionNameHeaderSize);
std::optional<std::uint32_t> parseConnectionNameLength(std::span<const std::uint8_t> answer);
std::optional<std::u16string> parseConnectionName(std::span<const std::uint8_t> answer);

// UTF-16 to 8-bit text for names that are plain ASCII in practice; anything else
// becomes '?'. The Windows backend uses the ANSI code page instead.
std::string asciiFromUtf16(const std::u16string& text);

}  // namespace cv50::os::usbreq
