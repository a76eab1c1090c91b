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

// A valid ID Block starts the loader, and the firmware too when the system disk holds an
// image: Msc then, else Loader. A NAND without one leaves the player as its scenario
// declares it, on the layout it kept.
PlayerMode powerOnMode(SimPlayer& player);

// After a reset the firmware starts only with the reset flag: Msc with a flag and an image,
// Loader with an ID Block, else MaskRom (with no layout).
PlayerMode resetMode(SimPlayer& player, bool resetFlag);

}  // namespace cv50::sim
