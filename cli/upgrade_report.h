// The report of cv50 upgrade: one row per player, appended as each player ends, so that what
// was done survives a crash of the run. CSV, or JSON when the file name ends in ".json"; a
// report that exists already is added to.
#pragma once

#include <memory>
#include <string>

namespace cv50::cli {

struct ReportRow {
    std::string port;
    std::string mode;           // as the player was found: MaskRom, Loader, Msc
    std::string serial;         // written into its ID Block; empty: none
    std::string versionBefore;  // the system version it ran as a disk; empty: unknown
    std::string versionAfter;
    bool ok = false;
    std::string stage;    // where it failed; empty when ok
    std::string message;  // the first error; empty when ok
    double seconds = 0;
};

class UpgradeReport {
public:
    // Nothing, with the reason in `problem`, when the file cannot be written or is not a
    // report of its kind.
    static std::unique_ptr<UpgradeReport> open(const std::string& path, std::string& problem);

    // False when the row could not be stored.
    bool append(const ReportRow& row);

private:
    UpgradeReport(std::string path, bool json) : path_(std::move(path)), json_(json) {}
    std::string path_;
    bool json_;
};

}  // namespace cv50::cli
