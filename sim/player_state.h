// A player's life across power: its flash kept in the scenario's state folder between runs,
// and what its boot ROM, loader and firmware make of the flash at power-on and after a
// reset.
#pragma once

#include <string>

#include "sim/usb_world.h"

namespace cv50::sim {

// Files of the player in the host folder `folder` ("" keeps nothing): its NAND, the layout its
// loader last took, and its plain user disk once written. Problems are reported on stderr.
void loadPlayerState(SimPlayer& player, const std::string& folder);
void savePlayerState(const SimPlayer& player, const std::string& folder);

// At the simulator's start a player runs as its scenario declares, on what its flash holds:
// a loader or a disk lays its disks out from the ID Block its NAND holds (else from the
// layout it kept), a disk runs the image in its system disk, a mask ROM has no layout.
PlayerMode startMode(SimPlayer& player);

// After a reset the firmware starts only with the reset flag: Msc with a flag and an image,
// Loader with an ID Block, else MaskRom (with no layout). Power that comes back after a cut
// starts the player as a reset with the flag does.
PlayerMode resetMode(SimPlayer& player, bool resetFlag);

}  // namespace cv50::sim
