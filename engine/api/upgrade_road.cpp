// The road of an upgrade for a set of ports: each step is an MD_ call of the library on
// the players that are still on the road; failures are kept per port.
#include "engine/api/upgrade_road.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "engine/api/md_exports.h"
#include "engine/api/progress.h"
#include "engine/api/record_text.h"
#include "engine/api/return_to_disk.h"
#include "engine/api/search_exports.h"
#include "engine/api/staged_upgrade.h"
#include "engine/device/search.h"
#include "engine/device/wait.h"
#include "engine/os/os.h"

namespace cv50::api {
namespace {

// A string the C calls may take as char*.
std::vector<char> text(const std::string& s) {
    std::vector<char> out(s.begin(), s.end());
    out.push_back('\0');
    return out;
}

class Road {
public:
    explicit Road(const RoadOptions& o) : o_(o), start_(os::current().tickMs()) {
        previous_ = SetProgressSink([this](const Progress& p) {
            {
                std::lock_guard lock(mutex_);
                lastReport_[p.layer] = os::current().tickMs();
            }
            if (previous_) previous_(p);
        });
    }
    ~Road() { SetProgressSink(std::move(previous_)); }
    Road(const Road&) = delete;
    Road& operator=(const Road&) = delete;

    std::vector<RoadResult> run() {
        switchDisks();
        std::vector<DEVICE_INFO> players = scan(device::Family::CorvUsb);
        std::erase_if(players, [this](const DEVICE_INFO& d) { return failed(layerOf(d)); });
        if (!players.empty()) upgrade(players);
        for (const std::string& port : o_.ports)
            if (!known(port)) fail(port, "Error:No player found on this port");
        return finish();
    }

private:
    bool wanted(const std::string& layer) const {
        return o_.ports.empty() ||
               std::find(o_.ports.begin(), o_.ports.end(), layer) != o_.ports.end();
    }

    // The records of a scan on the wanted ports, each entered in the results.
    std::vector<DEVICE_INFO> scan(device::Family family) {
        SEARCH_RESULT found{0, nullptr};
        device::Scan(&found, device::walkFor(o_.includeUsb11), family);
        std::vector<DEVICE_INFO> out;
        for (int i = 0; i < found.count; ++i) {
            const std::string layer = layerOf(found.devices[i]);
            if (!wanted(layer)) continue;
            entry(layer);
            out.push_back(found.devices[i]);
        }
        return out;
    }

    void switchDisks() {
        std::vector<DEVICE_INFO> disks = scan(device::Family::CorvMsc);
        if (disks.empty()) return;
        for (const DEVICE_INFO& d : disks) ReportProgress(layerOf(d), ProgressStep::Switch);
        SEARCH_RESULT list{static_cast<std::int32_t>(disks.size()), disks.data()};
        ERROR_LIST errors{0, nullptr};
        MD_SwitchToCorvUsb(&list, &errors);
        failEntries(errors, list);
        std::vector<DEVICE_INFO> switched;
        for (const DEVICE_INFO& d : disks)
            if (d.status == StatusOk) switched.push_back(d);
        if (switched.empty()) return;
        for (const DEVICE_INFO& d : switched) ReportProgress(layerOf(d), ProgressStep::WaitLoader);
        SEARCH_RESULT back{static_cast<std::int32_t>(switched.size()), switched.data()};
        device::WaitForDevices(&back, Loader, o_.loaderTimeoutSeconds,
                               device::walkFor(o_.includeUsb11));
        for (const DEVICE_INFO& d : switched)
            if (d.status != StatusOk) {
                fail(layerOf(d), "Wait for Loader failed");
                ReportProgress(layerOf(d), ProgressStep::Failed);
            }
    }

    void upgrade(std::vector<DEVICE_INFO>& players) {
        SEARCH_RESULT host{static_cast<std::int32_t>(players.size()), players.data()};
        ERROR_LIST merged{0, nullptr};
        std::vector<char> image = text(o_.image);
        std::vector<char> label = text(o_.label);
        std::vector<char> source = text(o_.copySource);
        switch (o_.end) {
            case RoadEnd::Format:
                MD_Upgrade_Format(&host, image.data(), &merged, o_.mscTimeoutSeconds,
                                  o_.loaderTimeoutSeconds, label.data(), o_.idBlockMode,
                                  o_.includeUsb11, o_.configDiskMB);
                break;
            case RoadEnd::Copy:
                MD_Upgrade_Copy(&host, image.data(), source.data(), &merged, o_.mscTimeoutSeconds,
                                o_.loaderTimeoutSeconds, label.data(), o_.idBlockMode,
                                o_.includeUsb11, o_.configDiskMB);
                break;
            case RoadEnd::Disk: {
                const StagedArgs args{
                    &host,          image.data(),    &merged,        o_.loaderTimeoutSeconds,
                    o_.idBlockMode, o_.includeUsb11, o_.configDiskMB};
                RunStagedUpgrade(args, [this](OwnedList& remaining, MergedErrors& errors) {
                    if (remaining.empty()) {
                        errors.appendForEveryone(
                            "Copy successful devices failed after download image");
                        return 0;
                    }
                    ERROR_LIST step{0, nullptr};
                    if (ReturnToDisk(&remaining.get(), &step, o_.mscTimeoutSeconds,
                                     o_.includeUsb11) == 1)
                        return 1;
                    errors.appendStep(step, remaining.get());
                    return 0;
                });
                break;
            }
        }
        failEntries(merged, host);
    }

    void failEntries(const ERROR_LIST& errors, const SEARCH_RESULT& list) {
        for (int e = 0; e < errors.count && errors.errors; ++e) {
            const ERROR_INFO& info = errors.errors[e];
            if (info.index >= static_cast<std::uint32_t>(list.count)) continue;
            fail(layerOf(list.devices[info.index]),
                 std::string(info.text, strnlen(info.text, sizeof info.text)));
        }
    }

    RoadResult& entry(const std::string& layer) {
        for (RoadResult& r : results_)
            if (r.layer == layer) return r;
        results_.push_back(RoadResult{layer, true, {}, 0});
        return results_.back();
    }
    bool known(const std::string& layer) const {
        return std::any_of(results_.begin(), results_.end(),
                           [&](const RoadResult& r) { return r.layer == layer; });
    }
    bool failed(const std::string& layer) const {
        return std::any_of(results_.begin(), results_.end(),
                           [&](const RoadResult& r) { return r.layer == layer && !r.ok; });
    }
    // The first failure of a port is the one that ended its road.
    void fail(const std::string& layer, const std::string& message) {
        RoadResult& r = entry(layer);
        if (!r.ok) return;
        r.ok = false;
        r.message = message;
    }

    std::vector<RoadResult> finish() {
        const std::uint64_t end = os::current().tickMs();
        std::lock_guard lock(mutex_);
        for (RoadResult& r : results_) {
            const auto it = lastReport_.find(r.layer);
            r.elapsedMs = (it == lastReport_.end() ? end : it->second) - start_;
        }
        return results_;
    }

    const RoadOptions& o_;
    const std::uint64_t start_;
    ProgressSink previous_;
    std::mutex mutex_;
    std::map<std::string, std::uint64_t> lastReport_;
    std::vector<RoadResult> results_;
};

}  // namespace

ProgressStep lastStepOf(RoadEnd end) {
    switch (end) {
        case RoadEnd::Disk:
            return ProgressStep::WaitDisk;
        case RoadEnd::Format:
            return ProgressStep::Format;
        case RoadEnd::Copy:
            break;
    }
    return ProgressStep::CopyData;
}

std::vector<RoadResult> RunUpgradeRoad(const RoadOptions& options) {
    Road road(options);
    return road.run();
}

}  // namespace cv50::api
