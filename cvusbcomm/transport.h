// One cvusbComm transaction over the device's pipes, through the os seam. On Windows the
// seam's pipes are the driver's; in the simulator they reach the device's endpoint.
#pragma once

#include <cstdint>
#include <span>

#include "cvusbcomm/wire.h"

namespace cv50::cvusb {

// How long one transfer of `command` may take before the device counts as not answering. A
// device does a command's work before it sends the status, so the bound is what the slowest
// healthy device needs for that work, with room to spare:
// - answers from the loader's memory (flash and chip information, unit ready, the reset flag,
//   a reset) and transfers of up to 20 raw sectors: 5 s;
// - a bad-block test of up to 512 blocks, a page read each: 10 s;
// - an LBA transfer of up to 1 MiB, for which the loader may first move and erase blocks to
//   make room: 15 s (the megabyte alone takes about 1 s at full speed);
// - erasing blocks: 5 s plus 20 ms a block, ten times a slow block erase;
// - erasing the system disk, thousands of blocks: 120 s.
std::uint32_t transferBoundMs(const Command& command);

// Sends `command` (its tag and data length are filled in here), then `out` or receives `in`
// as the opcode's direction says, then reads the status. Returns the device's result, or
// CVU_ERR_TRANSPORT / CVU_ERR_PROTOCOL when the exchange itself fails, CVU_ERR_TIMEOUT when a
// transfer ran out of transferBoundMs. Never waits for bytes after a failed transfer.
[[nodiscard]] int transact(const char* devicePath, Command command,
                           std::span<const std::uint8_t> out, std::span<std::uint8_t> in);

}  // namespace cv50::cvusb
