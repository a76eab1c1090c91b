#include "engine/device/wait.h"

#include <cstring>
#include <string>
#include <vector>

#include "engine/device/port_walk.h"
#include "engine/os/os.h"

namespace cv50::device {
namespace {

std::string layerOf(const DEVICE_INFO& d) {
    return std::string(d.layer, strnlen(d.layer, sizeof d.layer));
}

const DEVICE_INFO* findByLayer(const SEARCH_RESULT& scanned, const char* layer,
                               CV_DEVICE_TYPE type) {
    for (int i = 0; i < scanned.count; ++i) {
        const DEVICE_INFO& d = scanned.devices[i];
        if (std::strncmp(d.layer, layer, sizeof d.layer) == 0 && d.type == type) return &d;
    }
    return nullptr;
}

void updateFrom(DEVICE_INFO& record, const DEVICE_INFO& found) {
    record.vid = found.vid;
    record.pid = found.pid;
    std::memcpy(record.devicePath, found.devicePath, sizeof record.devicePath);
    record.devInst = found.devInst;
    record.type = found.type;
    record.driveLetter = found.driveLetter;
}

}  // namespace

bool PollUntil(unsigned timeoutSeconds, std::uint32_t pollMs, const std::function<bool()>& done) {
    os::Os& sys = os::current();
    const std::uint64_t start = sys.tickMs() / 1000;
    while (sys.tickMs() / 1000 - start <= timeoutSeconds) {
        if (done()) return true;
        sys.sleepMs(pollMs);
    }
    return false;
}

int WaitForDevices(SEARCH_RESULT* devices, CV_DEVICE_TYPE type, unsigned short timeoutSeconds,
                   Walk walk) {
    if (devices == nullptr || devices->count < 1 || devices->devices == nullptr) return 0;
    // Owned here so that an exception out of a scan cannot leak it.
    std::vector<DEVICE_INFO> copy(devices->devices, devices->devices + devices->count);
    const Family family = type == Msc ? Family::CorvMsc : Family::CorvUsb;
    SEARCH_RESULT scanned{0, nullptr};
    const bool all = PollUntil(timeoutSeconds, kWaitPollMs, [&] {
        int found = 0;
        for (DEVICE_INFO& d : copy) d.status = StatusIdle;
        Scan(&scanned, walk, family);
        for (DEVICE_INFO& d : copy) {
            if (findByLayer(scanned, d.layer, type)) {
                d.status = StatusOk;
                ++found;
            }
        }
        return found == static_cast<int>(copy.size());
    });
    for (int i = 0; i < devices->count; ++i) {
        DEVICE_INFO& record = devices->devices[i];
        // The entry of the wanted kind: where two controllers share a Layer, another kind's
        // device must not lend its path to this record.
        const DEVICE_INFO* match =
            copy[i].status == StatusOk ? findByLayer(scanned, record.layer, type) : nullptr;
        if (match) {
            updateFrom(record, *match);
            record.status = StatusOk;
        } else {
            record.status = StatusFailed;
        }
    }
    return all ? 1 : 0;
}

int WaitForDevice(DEVICE_INFO& device, CV_DEVICE_TYPE type, unsigned short timeoutSeconds,
                  Walk walk, int steadyPolls) {
    const std::string layer = layerOf(device);
    int hits = 0;
    DEVICE_INFO seen;
    const bool came = PollUntil(timeoutSeconds, kWaitPollMs, [&] {
        bool hit = false;
        for (const PortEntry& e : WalkPorts(walk)) {
            if (e.layer != layer) continue;
            if (classify(e).value_or(NoDevice) == type && recordFromEntry(seen, e, type)) {
                hit = true;
                break;
            }
        }
        hits = hit ? hits + 1 : 0;
        return hits >= steadyPolls;
    });
    if (!came) return 0;
    if (seen.type == Msc) seen.driveLetter = findDriveLetter(seen.devicePath, seen.devInst);
    device = seen;
    return 1;
}

}  // namespace cv50::device
