// A player's firmware while it runs as a disk: the vendor commands that reach it as SCSI
// pass-through requests on its volume.
#pragma once

#include <cstdint>
#include <span>

#include "sim/usb_world.h"

namespace cv50::sim {

// Carries out one pass-through request (the whole 592-byte buffer, answered in place) sent
// to the volume of `player` at simulated time `t`. False when the request is refused.
bool answerScsiRequest(UsbWorld& world, SimPlayer& player, std::span<std::uint8_t> request,
                       std::uint64_t t);

}  // namespace cv50::sim
