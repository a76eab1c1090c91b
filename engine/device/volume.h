// From a disk's USB device node to its drive letter, the way each Windows generation
// allows: the volume's device object name or its portable-device friendly name.
#pragma once

#include <cstdint>
#include <string>

#include "engine/os/os.h"

namespace cv50::device {

struct DriveLookup {
    char driveLetter = 0;
    std::uint32_t devInst = 0;
    std::string path;   // kept with the record; the lookup does not read it
    std::string spare;  // empty

    DriveLookup(std::string devicePath, std::uint32_t node) : devInst(node), path(std::move(devicePath)) {}
};

// The disk node below lookup.devInst, then its letter. 1 and driveLetter set, or 0.
int GetDemoDrive(DriveLookup& lookup);
// The drive letter ('C'-'Z') of the disk node `diskNode`, or 0.
char GetDrive(os::DevInst diskNode);
// The removable drive (D-Z) whose DOS device target is exactly `deviceObjectName`, or 0.
char QueryVolume(const std::string& deviceObjectName);
// A registry property of the device behind an interface path; empty on any failure.
std::string GetDeviceProperty(const std::string& interfacePath, os::DeviceProperty property);

}  // namespace cv50::device
