// Packing and parsing of the SCSI pass-through request.
#include "engine/os/scsi_pass_through.h"

#include <algorithm>

namespace cv50::os::scsi {
namespace {

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

}  // namespace

Cdb vendorCdb(std::uint32_t command, std::uint32_t dataLength) {
    Cdb cdb{};
    cdb[0] = 0xA8;
    cdb[1] = 0xE0;
    for (int i = 0; i < 4; ++i) cdb[2 + i] = static_cast<std::uint8_t>(command >> (24 - 8 * i));
    for (int i = 0; i < 4; ++i) cdb[6 + i] = static_cast<std::uint8_t>(dataLength >> (8 * i));
    return cdb;
}

std::vector<std::uint8_t> packRequest(const Cdb& cdb, std::uint32_t dataLength,
                                      const Layout& layout) {
    std::vector<std::uint8_t> b(layout.requestSize, 0);
    put16(b, field::kLength, static_cast<std::uint16_t>(layout.headerLength));
    b[field::kTargetId] = 1;
    b[field::kCdbLength] = kCdbLength;
    b[field::kSenseInfoLength] = kSenseLength;
    b[field::kDataIn] = 1;
    put32(b, field::kDataTransferLength, std::min<std::uint32_t>(dataLength, kMaxData));
    put32(b, field::kTimeOutValue, 2);
    // The offset's upper half in the 64-bit header stays zero.
    put32(b, layout.dataBufferOffsetField, static_cast<std::uint32_t>(layout.dataOffset));
    put32(b, layout.senseInfoOffsetField, static_cast<std::uint32_t>(layout.senseOffset));
    std::copy(cdb.begin(), cdb.end(), b.begin() + static_cast<std::ptrdiff_t>(layout.cdbOffset));
    return b;
}

std::optional<Request> parseRequest(std::span<const std::uint8_t> b) {
    if (b.size() < 2) return std::nullopt;
    const unsigned length = b[field::kLength] | (b[field::kLength + 1] << 8);
    const Layout* layout = length == kLayout32.headerLength   ? &kLayout32
                           : length == kLayout64.headerLength ? &kLayout64
                                                              : nullptr;
    if (layout == nullptr || b.size() < layout->requestSize) return std::nullopt;
    if (b[field::kCdbLength] == 0 || b[field::kCdbLength] > 16) return std::nullopt;
    if (get32(b, layout->dataBufferOffsetField) != layout->dataOffset) return std::nullopt;
    if (layout->dataBufferOffsetSize == 8 && get32(b, layout->dataBufferOffsetField + 4) != 0)
        return std::nullopt;
    Request r;
    std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(layout->cdbOffset), kCdbLength,
                r.cdb.begin());
    r.dataLength = get32(b, field::kDataTransferLength);
    r.dataIn = b[field::kDataIn] == 1;
    r.layout = layout;
    if (r.dataLength > kMaxData) return std::nullopt;
    return r;
}

std::optional<VendorCommand> parseVendorCdb(const Cdb& cdb) {
    if (cdb[0] != 0xA8 || cdb[1] != 0xE0) return std::nullopt;
    VendorCommand v;
    for (int i = 0; i < 4; ++i) v.command = (v.command << 8) | cdb[2 + i];
    for (int i = 3; i >= 0; --i) v.dataLength = (v.dataLength << 8) | cdb[6 + i];
    return v;
}

}  // namespace cv50::os::scsi
