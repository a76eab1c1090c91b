// The whole road of an upgrade for the players on chosen ports, whatever mode each is in:
// disks switched to CorvUsb and waited for, then the staged upgrade (ID Blocks, reset,
// image), ending as the caller asks. The command line drives this; it adds no step of its
// own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/api/progress.h"

namespace cv50::api {

enum class RoadEnd {
    Disk,    // reset flag, reset, wait for the disk: the player's files stay
    Format,  // ... and the disk formatted
    Copy,    // ... formatted, and a folder copied onto it
};

// The step a road of this end finishes with.
ProgressStep lastStepOf(RoadEnd end);

struct RoadOptions {
    std::string image;
    std::vector<std::string> ports;  // Layers; empty: every attached player
    RoadEnd end = RoadEnd::Disk;
    std::string label;
    std::string copySource;     // for RoadEnd::Copy
    unsigned idBlockMode = 0;   // 1: ID Blocks written in forced mode
    unsigned configDiskMB = 0;  // the caller's configuration-disk size
    unsigned short loaderTimeoutSeconds = 20;
    unsigned short mscTimeoutSeconds = 30;
    bool includeUsb11 = false;
};

struct RoadResult {
    std::string layer;
    bool ok = false;
    std::string message;         // the first error reported for the port; empty when ok
    std::uint64_t elapsedMs = 0;  // from the start until the port's last report
};

// One result per port: every player found (in walk order, disks first), then every named
// port where none was found. Progress goes to the process's progress sink.
std::vector<RoadResult> RunUpgradeRoad(const RoadOptions& options);

}  // namespace cv50::api
