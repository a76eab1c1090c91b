// Packing and parsing of the USB hub request buffers.
#include "engine/os/usb_requests.h"

namespace cv50::os::usbreq {
namespace {

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A NUL-terminated (or buffer-terminated) UTF-16LE string starting at `at`.
std::u16string utf16At(std::span<const std::uint8_t> b, std::size_t at) {
    std::u16string out;
    for (std::size_t i = at; i + 1 < b.size(); i += 2) {
        char16_t c = static_cast<char16_t>(le16(b, i));
        if (c == 0) break;
        out.push_back(c);
    }
    return out;
}

}  // namespace

Bytes nodeInformationRequest() { return Bytes(kNodeInformationSize, 0); }

std::optional<unsigned> parseNodeInformationPorts(std::span<const std::uint8_t> answer) {
    if (answer.size() <= kNodeInformationPortsOffset) return std::nullopt;
    return answer[kNodeInformationPortsOffset];
}

Bytes connectionInfoRequest(unsigned port) {
    Bytes b(kConnectionInfoSize, 0);
    putLe32(b, conn::kConnectionIndex, port);
    return b;
}

std::optional<ConnectionInfo> parseConnectionInfo(std::span<const std::uint8_t> answer) {
    if (answer.size() < kConnectionInfoFixedSize) return std::nullopt;
    ConnectionInfo info;
    info.bcdUSB = le16(answer, conn::kBcdUSB);
    info.idVendor = le16(answer, conn::kIdVendor);
    info.idProduct = le16(answer, conn::kIdProduct);
    info.currentConfigurationValue = answer[conn::kCurrentConfigurationValue];
    info.deviceIsHub = answer[conn::kDeviceIsHub] != 0;
    info.connectionStatus = le32(answer, conn::kConnectionStatus);
    return info;
}

Bytes rootHubNameRequest(std::size_t size) {
    return Bytes(size < kRootHubNameHeaderSize ? kRootHubNameHeaderSize : size, 0);
}

std::optional<std::uint32_t> parseRootHubNameLength(std::span<const std::uint8_t> answer) {
    if (answer.size() < 4) return std::nullopt;
    return le32(answer, 0);
}

std::optional<std::u16string> parseRootHubName(std::span<const std::uint8_t> answer) {
    if (answer.size() < kRootHubNameHeaderSize) return std::nullopt;
    return utf16At(answer, 4);
}

Bytes connectionNameRequest(unsigned port, std::size_t size) {
    Bytes b(size < kConnectionNameHeaderSize ? kConnectionNameHeaderSize : size, 0);
    putLe32(b, 0, port);
    return b;
}

std::optional<std::uint32_t> parseConnectionNameLength(std::span<const std::uint8_t> answer) {
    if (answer.size() < 8) return std::nullopt;
    return le32(answer, 4);
}

std::optional<std::u16string> parseConnectionName(std::span<const std::uint8_t> answer) {
    if (answer.size() < kConnectionNameHeaderSize) return std::nullopt;
    return utf16At(answer, 8);
}

std::string asciiFromUtf16(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace cv50::os::usbreq
