// Device search: the scans into the library's table and copies of their results.
#include "engine/device/search.h"

#include <cstring>
#include <new>
#include <vector>

#include "engine/device/log.h"
#include "engine/device/match_ids.h"
#include "engine/device/volume.h"
#include "engine/os/os.h"

namespace cv50::device {
namespace {

DEVICE_INFO table[api::kTableSize];

// Copies text into a fixed field. The walk never yields a Layer too long for its field;
// a device path that does not fit is refused rather than cut into another device's path.
template <std::size_t N>
bool copyField(char (&field)[N], const std::string& text) {
    if (text.size() >= N) return false;
    std::memcpy(field, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

std::vector<PortEntry> WalkPorts(Walk walk) {
    std::vector<PortEntry> entries;
    if (walk == Walk::All)
        EnumerateUsbPortsAll(entries);
    else
        EnumerateUsbPorts(entries);
    return entries;
}

FoundPlayers FindPlayers(Walk walk) {
    FoundPlayers found;
    for (const PortEntry& e : WalkPorts(walk)) {
        const auto kind = classify(e);
        if (!kind) continue;
        ++found.count;
        DEVICE_INFO d;
        if (recordFromEntry(d, e, *kind)) found.players.push_back(d);
    }
    return found;
}

int Scan(SEARCH_RESULT* out, Walk walk, Family family) {
    if (out == nullptr) return 0;
    out->count = 0;
    out->devices = nullptr;
    int count = 0;
    for (const PortEntry& e : WalkPorts(walk)) {
        const auto kind = classify(e);
        if (!kind || (family == Family::CorvMsc) != (*kind == Msc)) continue;
        if (count == api::kTableSize) {
            Log("ERROR:More than %d devices found, the device at Layer %s is ignored",
                api::kTableSize, e.layer.c_str());
            continue;
        }
        if (!recordFromEntry(table[count], e, *kind)) {
            Log("ERROR:The device path of the device at Layer %s is too long, the device is "
                "ignored",
                e.layer.c_str());
            continue;
        }
        ++count;
    }
    if (family == Family::CorvMsc)
        for (int i = 0; i < count; ++i)
            table[i].driveLetter = findDriveLetter(table[i].devicePath, table[i].devInst);
    if (count > 0) {
        out->count = count;
        out->devices = table;
    }
    return count;
}

namespace {

// Copies `n` records chosen by `keep` into a new caller-owned array.
template <typename Keep>
int copyRecords(const SEARCH_RESULT* from, SEARCH_RESULT* to, int n, Keep keep) {
    auto* copy = new (std::nothrow) DEVICE_INFO[n];
    if (copy == nullptr) return 0;
    int j = 0;
    for (int i = 0; i < from->count; ++i)
        if (keep(from->devices[i])) copy[j++] = from->devices[i];
    to->count = n;
    to->devices = copy;
    return 1;
}

}  // namespace

int CopyResult(const SEARCH_RESULT* from, SEARCH_RESULT* to) {
    if (from == nullptr || to == nullptr || from->count < 1 || from->devices == nullptr) return 0;
    return copyRecords(from, to, from->count, [](const DEVICE_INFO&) { return true; });
}

int CopySuccessfulResult(const SEARCH_RESULT* from, SEARCH_RESULT* to) {
    if (from == nullptr || to == nullptr || from->count < 1 || from->devices == nullptr) return 0;
    int ok = 0;
    for (int i = 0; i < from->count; ++i) ok += from->devices[i].status == StatusOk;
    if (ok == 0) return 0;
    return copyRecords(from, to, ok, [](const DEVICE_INFO& d) { return d.status == StatusOk; });
}

int FreeResult(SEARCH_RESULT* result) {
    if (result == nullptr || result->count < 1 || result->devices == nullptr ||
        result->devices == table)
        return 0;
    delete[] result->devices;
    return 1;
}

DEVICE_INFO* searchTable() { return table; }

std::optional<CV_DEVICE_TYPE> classify(const PortEntry& entry) {
    const MatchIds& ids = matchIds();
    if (entry.vid == ids.corvUsbVid && entry.pid == ids.corvUsbPid)
        return (entry.bcdUSB & 1) ? Loader : MaskRom;
    if (entry.vid == ids.corvMscVid && entry.pid == ids.corvMscPid) return Msc;
    return std::nullopt;
}

bool recordFromEntry(DEVICE_INFO& record, const PortEntry& entry, CV_DEVICE_TYPE type) {
    DEVICE_INFO d;
    std::memset(&d, 0, sizeof d);
    if (!copyField(d.devicePath, entry.devicePath) || !copyField(d.layer, entry.layer))
        return false;
    d.vid = entry.vid;
    d.pid = entry.pid;
    d.devInst = entry.devInst;
    d.status = StatusIdle;
    d.type = type;
    d.driveLetter = 0;
    record = d;
    return true;
}

char findDriveLetter(const std::string& devicePath, std::uint32_t devInst, std::uint32_t retryMs) {
    DriveLookup lookup(devicePath, devInst);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (GetDemoDrive(lookup)) return lookup.driveLetter;
        os::current().sleepMs(retryMs);
    }
    return 0;
}

}  // namespace cv50::device
