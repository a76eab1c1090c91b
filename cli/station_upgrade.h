// cv50 upgrade on the production tool's station: every player's stage one in parallel, the
// boot downloads one at a time, the stage gates; the command's thread plays the station's
// host, handing its stage messages back. Once over the players found (disks switched first,
// joining as loaders), or as a station that upgrades each player plugged in until it is
// interrupted.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "apps/batch/core/station.h"
#include "cli/serial_numbers.h"
#include "cli/upgrade_report.h"
#include "cli/upgrade_view.h"
#include "engine/api/upgrade_road.h"

namespace cv50::cli {

struct StationRun {
    batch::BatchOptions batch;
    std::vector<std::string> ports;  // Layers; empty: every port
    std::uint32_t loaderWaitMs = 20000;
    bool wait = false;  // station mode: until `interrupt`
    // Set (by Ctrl-C, or a test) to end station mode once the running players are done.
    const std::atomic<bool>* interrupt = nullptr;
    UpgradeReport* report = nullptr;   // a row per player as it ends; may be null
    SerialNumbers* serials = nullptr;  // a serial number per player; may be null
};

struct StationOutcome {
    // In the order the players ended (once: as they were found), then every named port
    // where no player was found.
    std::vector<api::RoadResult> results;
    // Ports whose report row could not be stored.
    std::vector<std::string> unreported;
};

StationOutcome runOnStation(const StationRun& run, PortProgressView& view);

}  // namespace cv50::cli
