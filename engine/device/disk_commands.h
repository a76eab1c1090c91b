// Vendor commands to a player running as a disk, carried as SCSI pass-through requests to
// its volume, and the eject of a disk.
#pragma once

#include <cstdint>

#include "engine/os/os.h"

namespace cv50::device {

inline constexpr std::uint32_t kCommandReadVersion = 0xFFFFFFFF;
inline constexpr std::uint32_t kCommandSwitchToCorvUsb = 0xFFFFFFFE;
inline constexpr std::uint32_t kCommandShowSystemDisk = 0xFFFFFFFC;
inline constexpr std::uint32_t kCommandDataCopied = 0xFFFFFFFB;

// Sends one vendor command to the volume of `driveLetter`; with `out`, the first
// `dataLength` returned bytes land there. 1 when the request was carried out, else 0
// (also for a data length above 512).
int ScsiVendorCommand(char driveLetter, std::uint32_t command, void* out, std::uint32_t dataLength);

// Up to 20 eject requests 100 ms apart; 1 on the first one done without a veto.
int EjectDevice(os::DevInst node);

}  // namespace cv50::device
