// One cvusbComm transaction over the device's pipes, through the os seam. On Windows the
// seam's pipes are the driver's; in the simulator they reach the device's endpoint.
#pragma once

#include <cstdint>
#include <span>

#include "cvusbcomm/wire.h"

namespace cv50::cvusb {

// Sends `command` (its tag and data length are filled in here), then `out` or receives `in`
// as the opcode's direction says, then reads the status. Returns the device's result, or
// CVU_ERR_TRANSPORT / CVU_ERR_PROTOCOL when the exchange itself fails. Never waits for
// bytes after a failed transfer.
[[nodiscard]] int transact(const char* devicePath, Command command,
                           std::span<const std::uint8_t> out, std::span<std::uint8_t> in);

}  // namespace cv50::cvusb
