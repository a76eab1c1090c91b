// The wire protocol of cvusbComm (documented in cvusbcomm.h): command and status blocks
// and the data-phase rule of each opcode. Shared by the library and the simulated devices,
// so both sides agree byte for byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace cv50::cvusb {

inline constexpr std::size_t kCommandSize = 32;
inline constexpr std::size_t kStatusSize = 16;
inline constexpr std::size_t kFlashInfoSize = 16;
inline constexpr std::size_t kChipInfoSize = 16;
inline constexpr std::size_t kBitmapSize = 64;
inline constexpr std::size_t kUnitReadySize = 8;
inline constexpr std::size_t kSectorSize = 512;
inline constexpr std::size_t kRawSectorSize = 528;
inline constexpr std::size_t kSpareSize = kRawSectorSize - kSectorSize;

enum class Opcode : std::uint8_t {
    ReadFlashInfo = 0x01,
    ReadChipInfo = 0x02,
    TestBadBlock = 0x03,
    EraseBlock = 0x04,
    ReadSector = 0x05,
    WriteSector = 0x06,
    ReadLBA = 0x07,
    WriteLBA = 0x08,
    EraseSystemDisk = 0x09,
    TestUnitReady = 0x0A,
    SetResetFlag = 0x0B,
    ResetDevice = 0x0C,
};
inline constexpr std::uint8_t kFirstOpcode = 0x01;
inline constexpr std::uint8_t kLastOpcode = 0x0C;

enum class Direction { None, In, Out };

struct Command {
    Opcode opcode = Opcode::TestUnitReady;
    std::uint32_t tag = 0;
    std::array<std::uint32_t, 4> params{};
    std::uint32_t dataLength = 0;
};

struct Status {
    std::uint32_t tag = 0;
    std::int32_t result = 0;
    std::uint32_t dataLength = 0;
};

std::array<std::uint8_t, kCommandSize> encodeCommand(const Command& c);
// Nothing when the bytes are not a command block: wrong size, signature, padding or opcode.
std::optional<Command> decodeCommand(std::span<const std::uint8_t> bytes);

std::array<std::uint8_t, kStatusSize> encodeStatus(const Status& s);
std::optional<Status> decodeStatus(std::span<const std::uint8_t> bytes);

Direction dataDirection(Opcode op);
// The data-phase length the parameters call for; nothing when they call for an impossible
// one (a count so large the length would not fit 32 bits).
std::optional<std::uint32_t> expectedDataLength(Opcode op, const std::array<std::uint32_t, 4>& p);

// "ReadFlashInfo", ... as the scenario files name commands; and back.
const char* opcodeName(Opcode op);
std::optional<Opcode> opcodeFromName(const std::string& name);

}  // namespace cv50::cvusb
