// cv50 upgrade: every attached player, or the named ports, along the whole road; or, with
// --wait, each player as it is plugged in.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

namespace cv50::cli {

struct UpgradeOptions {
    std::string image;
    std::vector<std::string> ports;
    bool format = false;
    std::string demo;  // a folder to copy after formatting; empty: none
    std::string label;
    bool repair = false;
    std::string partition;  // "N[:N...]": the first number is the configuration disk in MB
    bool forceErase = false;
    bool yes = false;
    bool json = false;
    std::string logFolder;
    bool skipImageCheck = false;  // write an image whose check value does not match
    bool liveProgress = false;    // redraw one line per port (a terminal)
    std::string report;           // a row per player; empty: none
    std::string serial;           // a pattern or "@FILE"; empty: serial numbers stay
    bool wait = false;            // station mode, until `interrupt` is set
    const std::atomic<bool>* interrupt = nullptr;
};

// Returns the exit status: 0 only when every player went well.
int runUpgrade(const UpgradeOptions& options, std::istream& in, std::ostream& out,
               std::ostream& err);

}  // namespace cv50::cli
