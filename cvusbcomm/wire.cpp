// Encoding and decoding of cvusbComm command and status blocks.
#include "cvusbcomm/wire.h"

#include <algorithm>
#include <iterator>

#include "base/byte_order.h"

namespace cv50::cvusb {
namespace {

constexpr std::array<std::uint8_t, 4> kCommandSignature{'C', 'V', 'U', 'C'};
constexpr std::array<std::uint8_t, 4> kStatusSignature{'C', 'V', 'U', 'S'};

constexpr const char* kNames[] = {
    "ReadFlashInfo",   "ReadChipInfo",  "TestBadBlock", "EraseBlock",
    "ReadSector",      "WriteSector",   "ReadLBA",      "WriteLBA",
    "EraseSystemDisk", "TestUnitReady", "SetResetFlag", "ResetDevice",
};
static_assert(std::size(kNames) == kLastOpcode - kFirstOpcode + 1);

bool hasSignature(std::span<const std::uint8_t> b, const std::array<std::uint8_t, 4>& sig) {
    return std::equal(sig.begin(), sig.end(), b.begin());
}

}  // namespace

std::array<std::uint8_t, kCommandSize> encodeCommand(const Command& c) {
    std::array<std::uint8_t, kCommandSize> b{};
    std::copy(kCommandSignature.begin(), kCommandSignature.end(), b.begin());
    base::storeLe32(b, 4, c.tag);
    b[8] = static_cast<std::uint8_t>(c.opcode);
    for (std::size_t i = 0; i < 4; ++i) base::storeLe32(b, 12 + 4 * i, c.params[i]);
    base::storeLe32(b, 28, c.dataLength);
    return b;
}

std::optional<Command> decodeCommand(std::span<const std::uint8_t> b) {
    if (b.size() != kCommandSize || !hasSignature(b, kCommandSignature)) return std::nullopt;
    if (b[8] < kFirstOpcode || b[8] > kLastOpcode || b[9] != 0 || b[10] != 0 || b[11] != 0)
        return std::nullopt;
    Command c;
    c.tag = base::loadLe32(b, 4);
    c.opcode = static_cast<Opcode>(b[8]);
    for (std::size_t i = 0; i < 4; ++i) c.params[i] = base::loadLe32(b, 12 + 4 * i);
    c.dataLength = base::loadLe32(b, 28);
    return c;
}

std::array<std::uint8_t, kStatusSize> encodeStatus(const Status& s) {
    std::array<std::uint8_t, kStatusSize> b{};
    std::copy(kStatusSignature.begin(), kStatusSignature.end(), b.begin());
    base::storeLe32(b, 4, s.tag);
    base::storeLe32(b, 8, static_cast<std::uint32_t>(s.result));
    base::storeLe32(b, 12, s.dataLength);
    return b;
}

std::optional<Status> decodeStatus(std::span<const std::uint8_t> b) {
    if (b.size() != kStatusSize || !hasSignature(b, kStatusSignature)) return std::nullopt;
    Status s;
    s.tag = base::loadLe32(b, 4);
    s.result = static_cast<std::int32_t>(base::loadLe32(b, 8));
    s.dataLength = base::loadLe32(b, 12);
    return s;
}

Direction dataDirection(Opcode op) {
    switch (op) {
        case Opcode::ReadFlashInfo:
        case Opcode::ReadChipInfo:
        case Opcode::TestBadBlock:
        case Opcode::ReadSector:
        case Opcode::ReadLBA:
        case Opcode::TestUnitReady:
            return Direction::In;
        case Opcode::WriteSector:
        case Opcode::WriteLBA:
            return Direction::Out;
        default:
            return Direction::None;
    }
}

std::optional<std::uint32_t> expectedDataLength(Opcode op, const std::array<std::uint32_t, 4>& p) {
    auto times = [](std::uint32_t count, std::size_t unit) -> std::optional<std::uint32_t> {
        const std::uint64_t n = std::uint64_t{count} * unit;
        if (n > UINT32_MAX) return std::nullopt;
        return static_cast<std::uint32_t>(n);
    };
    switch (op) {
        case Opcode::ReadFlashInfo:
            return kFlashInfoSize;
        case Opcode::ReadChipInfo:
            return kChipInfoSize;
        case Opcode::TestBadBlock:
            return kBitmapSize;
        case Opcode::TestUnitReady:
            return kUnitReadySize;
        case Opcode::ReadSector:
        case Opcode::WriteSector:
            return times(p[1], kRawSectorSize);
        case Opcode::ReadLBA:
        case Opcode::WriteLBA:
            return times(p[1], kSectorSize);
        default:
            return 0;
    }
}

const char* opcodeName(Opcode op) {
    const auto i = static_cast<std::uint8_t>(op);
    return i >= kFirstOpcode && i <= kLastOpcode ? kNames[i - kFirstOpcode] : "?";
}

std::optional<Opcode> opcodeFromName(const std::string& name) {
    for (std::uint8_t i = kFirstOpcode; i <= kLastOpcode; ++i)
        if (name == kNames[i - kFirstOpcode]) return static_cast<Opcode>(i);
    return std::nullopt;
}

}  // namespace cv50::cvusb
