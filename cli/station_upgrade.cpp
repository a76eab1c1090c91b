#include "cli/station_upgrade.h"

#include <algorithm>
#include <map>
#include <set>

#include "cli/device_kind.h"
#include "cli/disk_version.h"
#include "cli/upgrade_listener.h"
#include "engine/os/os.h"

namespace cv50::cli {
namespace {

using api::ProgressStep;

// How often the command's thread looks at the station between two stage messages.
constexpr std::uint32_t kPollMs = 50;
// A disk needs the road's own time to come back after its reset.
constexpr std::uint32_t kDiskWaitMs = 30000;

// The command line's words for a failure, those of the library's own flows where it has one.
batch::FailureTexts commandLineReasons() {
    batch::FailureTexts t;
    t.dropped = "Error:Device was unplugged";
    t.boot = "Error:Download boot file failed";
    t.testFailed = "Error:Test device failed";
    t.testTimedOut = "Error:Test device failed";
    t.idBlock = "Error:Write ID_BLOCK failed";
    t.reset = "Error:Reset device failed";
    t.image = "Error:Download Image Failed(%d)";
    t.resetFlag = "Error:SetResetFlag failed";
    t.demoDisk = "Error:Get drive failed";
    t.format = "Error:Format failed(%d)";
    t.copy = "Error:CopyData failed";
    t.loaderWait = "Wait for Loader failed";
    t.mscWait = "Error:Wait msc device failed";
    t.noSerialNumber = "Error:No serial number left to write";
    return t;
}

bool isCorvUsb(const DEVICE_INFO& d) { return d.type == MaskRom || d.type == Loader; }

class Host {
public:
    Host(const StationRun& run, PortProgressView& view)
        : run_(run), listener_(view), station_(listener_, config(run)) {
        batch_ = run.batch;
        if (run.serials)
            batch_.serialNumber = [this](int slot, const std::string&) {
                std::optional<std::string> serial = run_.serials->next();
                if (serial) listener_.gaveSerial(slot, *serial);
                return serial;
            };
    }
    ~Host() { station_.stop(); }

    std::vector<api::RoadResult> once() {
        station_.start();
        waitPasses(2);
        std::set<std::string> disks;
        for (const auto& [index, s] : present()) {
            if (!wanted(s.device.layer)) continue;
            arrive(s.device);
            order_.push_back(s.device.layer);
            if (s.device.type == Msc) disks.insert(s.device.layer);
        }
        switchDisks(disks);
        while (!switching_.empty()) {
            os::current().sleepMs(kPollMs);
            watchSwitching();
        }
        if (startBatch() > 0)
            while (station_.batchRunning()) {
                pump();
                os::current().sleepMs(kPollMs);
            }
        // A player that left before its batch began has ended too.
        for (const auto& [layer, seen] : seen_)
            if (!seen.taken) {
                PlayerRecord gone;
                gone.layer = layer;
                gone.failed = true;
                gone.failedStep = api::progressStepName(ProgressStep::Upgrade);
                gone.message = commandLineReasons().dropped;
                end(gone);
            }
        for (const std::string& port : run_.ports)
            if (!seen_.count(port)) {
                order_.push_back(port);
                results_.push_back(
                    api::RoadResult{port, false, "Error:No player found on this port", 0});
            }
        // As the ports were found, not as they ended.
        std::stable_sort(results_.begin(), results_.end(), [&](const auto& a, const auto& b) {
            return rank(a.layer) < rank(b.layer);
        });
        return results_;
    }

    std::vector<api::RoadResult> station() {
        station_.start();
        waitPasses(1);
        bool stopping = false, ranBatch = false;
        for (;;) {
            pump();
            forgetDeparted();
            stopping = stopping || (run_.interrupt && run_.interrupt->load());
            const bool running = station_.batchRunning();
            if (!running && ranBatch) {
                // A player swapped in while its slot was still in the batch keeps the old
                // one's record until the monitor looks at the idle slot. Two passes: the
                // first to end may have begun while the batch still ran.
                waitPasses(2);
                ranBatch = false;
            }
            if (!running) {
                if (stopping) break;
                ranBatch = look() > 0;
            }
            os::current().sleepMs(kPollMs);
        }
        return results_;
    }

    const std::vector<std::string>& unreported() const { return unreported_; }

private:
    struct Seen {
        std::string mode;
        std::string versionBefore;
        std::uint64_t startMs = 0;
        bool taken = false;  // its upgrade began, or it ended; it waits to be unplugged
        bool ended = false;  // its row is written
    };

    static batch::StationConfig config(const StationRun& run) {
        batch::StationConfig c;
        c.ports = run.ports;
        c.loaderWaitMs = run.loaderWaitMs;
        c.mscWaitMs = kDiskWaitMs;
        c.reasons = commandLineReasons();
        return c;
    }

    bool wanted(const std::string& layer) const {
        return run_.ports.empty() ||
               std::find(run_.ports.begin(), run_.ports.end(), layer) != run_.ports.end();
    }
    std::size_t rank(const std::string& layer) const {
        return static_cast<std::size_t>(std::find(order_.begin(), order_.end(), layer) -
                                        order_.begin());
    }
    static std::uint64_t now() { return os::current().tickMs(); }

    void waitPasses(std::uint64_t passes) {
        const std::uint64_t target = station_.passes() + passes;
        while (station_.passes() < target && !station_.stopped()) os::current().sleepMs(kPollMs);
    }

    // The slots with a device attached now.
    std::vector<std::pair<int, batch::PortSlot>> present() const {
        std::vector<std::pair<int, batch::PortSlot>> out;
        for (int i = 0; i < batch::kSlots; ++i) {
            batch::PortSlot s = station_.slot(i);
            if (!s.absent) out.emplace_back(i, s);
        }
        return out;
    }

    void arrive(const DEVICE_INFO& d) {
        Seen& seen = seen_[d.layer];
        seen = Seen{};
        seen.mode = kindName(d.type);
        seen.startMs = now();
    }

    void switchDisks(const std::set<std::string>& disks) {
        if (disks.empty()) return;
        for (const auto& [index, s] : present()) {
            if (s.device.type != Msc || !disks.count(s.device.layer)) continue;
            std::string problem;
            if (const auto versions = readDiskVersions(s.device, problem))
                seen_[s.device.layer].versionBefore = versions->system;
        }
        for (const std::string& layer : disks) listener_.report(layer, ProgressStep::Switch);
        station_.switchDisks([&](int, const DEVICE_INFO& d) { return disks.count(d.layer) > 0; });
        for (const std::string& layer : disks) {
            listener_.report(layer, ProgressStep::WaitLoader);
            switching_[layer] = now();
        }
    }

    // The switched disks that are back as loaders join the next batch; those that did not
    // come back in time have ended.
    void watchSwitching() {
        const auto slots = present();
        for (auto it = switching_.begin(); it != switching_.end();) {
            const bool back = std::any_of(slots.begin(), slots.end(), [&](const auto& s) {
                return s.second.device.layer == it->first && s.second.device.type == Loader;
            });
            if (back) {
                it = switching_.erase(it);
            } else if (now() - it->second >= run_.loaderWaitMs) {
                listener_.report(it->first, ProgressStep::Failed);
                PlayerRecord failed;
                failed.layer = it->first;
                failed.failed = true;
                failed.failedStep = api::progressStepName(ProgressStep::Switch);
                failed.message = "Wait for Loader failed";
                end(failed);
                it = switching_.erase(it);
            } else {
                ++it;
            }
        }
    }

    int startBatch() {
        return station_.startBatch(batch_, [&](int slot, const DEVICE_INFO& d) {
            auto it = seen_.find(d.layer);
            if (it == seen_.end() || it->second.taken || switching_.count(d.layer)) return false;
            it->second.taken = true;
            PlayerRecord record;
            record.layer = d.layer;
            record.mode = it->second.mode;
            listener_.begin(slot, record);
            return true;
        });
    }

    // Station mode: a player unplugged after it ended makes room for the next one on its
    // port, also while the others of its batch go on (a player still on its road leaves the
    // bus at every reset, so it is kept).
    void forgetDeparted() {
        const auto slots = present();
        for (auto it = seen_.begin(); it != seen_.end();) {
            const bool attached = std::any_of(slots.begin(), slots.end(), [&](const auto& s) {
                return s.second.device.layer == it->first;
            });
            it = it->second.ended && !attached ? seen_.erase(it) : std::next(it);
        }
    }

    // Station mode, between batches: who came, who is switched or starts. The players that
    // started.
    int look() {
        const auto slots = present();
        std::set<std::string> disks;
        bool ready = false;
        for (const auto& [index, s] : slots) {
            const std::string layer = s.device.layer;
            if (!wanted(layer)) continue;
            if (!seen_.count(layer)) arrive(s.device);
            if (seen_[layer].taken || switching_.count(layer)) continue;
            if (s.device.type == Msc) disks.insert(layer);
            if (isCorvUsb(s.device)) ready = true;
        }
        switchDisks(disks);
        watchSwitching();
        return ready ? startBatch() : 0;
    }

    void pump() {
        while (const std::optional<StageDone> done = listener_.takeStageDone()) {
            // A failure ends a player in any stage; a success only after its disk stage.
            const bool ends =
                done->failed || done->message == batch::StageMessage::DemoStageDone || !batch_.demo;
            if (ends) {
                PlayerRecord record = listener_.record(done->slot);
                if (done->failed && !record.failed) {
                    record.failed = true;
                    record.message = "failed";
                }
                end(record);
            }
            station_.stageDone(done->message, done->slot, done->failed);
        }
    }

    // The versions of the disk on `layer`: from its slot's record when the monitor has it as
    // a disk, which spares the batch a scan of every disk each time a player ends.
    std::optional<DiskVersions> versionsNow(const std::string& layer, std::string& problem) {
        for (const auto& [index, s] : present())
            if (s.device.layer == layer && s.device.type == Msc)
                return readDiskVersions(s.device, problem);
        return readDiskVersions(layer, problem);
    }

    // A player's row and result.
    void end(const PlayerRecord& p) {
        Seen& seen = seen_[p.layer];
        seen.taken = seen.ended = true;
        ReportRow row;
        row.port = p.layer;
        row.mode = p.mode.empty() ? seen.mode : p.mode;
        row.serial = p.serialWritten ? p.serial : "";
        row.versionBefore = seen.versionBefore;
        row.ok = !p.failed;
        row.stage = p.failed ? p.failedStep : "";
        row.message = p.failed ? p.message : "";
        const std::uint64_t elapsed = now() - seen.startMs;
        row.seconds = static_cast<double>(elapsed) / 1000.0;
        if (row.ok) {
            std::string problem;
            if (const auto versions = versionsNow(p.layer, problem))
                row.versionAfter = versions->system;
        }
        if (run_.report && !run_.report->append(row)) unreported_.push_back(p.layer);
        results_.push_back(api::RoadResult{p.layer, row.ok, row.message, elapsed});
    }

    const StationRun& run_;
    batch::BatchOptions batch_;
    UpgradeListener listener_;
    batch::Station station_;
    std::map<std::string, Seen> seen_;
    std::map<std::string, std::uint64_t> switching_;  // Layer: when its switch was asked
    std::vector<std::string> order_;
    std::vector<api::RoadResult> results_;
    std::vector<std::string> unreported_;  // ports whose report row was lost
};

}  // namespace

StationOutcome runOnStation(const StationRun& run, PortProgressView& view) {
    Host host(run, view);
    StationOutcome outcome;
    outcome.results = run.wait ? host.station() : host.once();
    outcome.unreported = host.unreported();
    return outcome;
}

}  // namespace cv50::cli
