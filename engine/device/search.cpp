// Device search and waiting.
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

enum class Walk { Usb20, All };
enum class Family { CorvUsb, CorvMsc };

// Copies text into a fixed field. The walk never yields a Layer too long for its field;
// a device path that does not fit is refused rather than cut into another device's path.
template <std::size_t N>
bool copyField(char (&field)[N], const std::string& text) {
    if (text.size() >= N) return false;
    std::memcpy(field, text.c_str(), text.size() + 1);
    return true;
}

int scan(SEARCH_RESULT* out, Walk walk, Family family) {
    if (out == nullptr) return 0;
    out->count = 0;
    out->devices = nullptr;
    std::vector<PortEntry> entries;
    if (walk == Walk::All)
        EnumerateUsbPortsAll(entries);
    else
        EnumerateUsbPorts(entries);

    int count = 0;
    for (const PortEntry& e : entries) {
        const auto kind = classify(e);
        if (!kind || (family == Family::CorvMsc) != (*kind == Msc)) continue;
        if (count == api::kTableSize) {
            Log("ERROR:More than %d devices found, the device at Layer %s is ignored",
                api::kTableSize, e.layer.c_str());
            continue;
        }
        if (!recordFromEntry(table[count], e, *kind)) {
            Log("ERROR:The device path of the device at Layer %s is too long, the device is ignored",
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

int wait(SEARCH_RESULT* devices, CV_DEVICE_TYPE type, unsigned short timeoutSeconds, Walk walk) {
    if (devices == nullptr || devices->count < 1 || devices->devices == nullptr) return 0;
    SEARCH_RESULT copy{0, nullptr};
    if (!CopySearchResult(devices, &copy)) {
        for (int i = 0; i < devices->count; ++i) devices->devices[i].status = StatusIdle;
        return 0;
    }
    os::Os& sys = os::current();
    const Family family = type == Msc ? Family::CorvMsc : Family::CorvUsb;
    // Whole seconds of a monotonic clock: a wait of N seconds lasts N to N+1 seconds, and
    // a change of the wall clock cannot cut it short or stretch it.
    const std::uint64_t start = sys.tickMs() / 1000;
    SEARCH_RESULT scanned{0, nullptr};
    bool all = false;
    while (sys.tickMs() / 1000 - start <= timeoutSeconds) {
        int found = 0;
        for (int i = 0; i < copy.count; ++i) copy.devices[i].status = StatusIdle;
        scan(&scanned, walk, family);
        for (int i = 0; i < copy.count; ++i) {
            if (findByLayer(scanned, copy.devices[i].layer, type)) {
                copy.devices[i].status = StatusOk;
                ++found;
            }
        }
        if (found == copy.count) {
            all = true;
            break;
        }
        sys.sleepMs(200);
    }
    for (int i = 0; i < devices->count; ++i) {
        DEVICE_INFO& record = devices->devices[i];
        // The entry of the wanted kind: where two controllers share a Layer, another kind's
        // device must not lend its path to this record.
        const DEVICE_INFO* match = copy.devices[i].status == StatusOk
                                       ? findByLayer(scanned, record.layer, type)
                                       : nullptr;
        if (match) {
            updateFrom(record, *match);
            record.status = StatusOk;
        } else {
            record.status = StatusFailed;
        }
    }
    FreeSearchResult(&copy);
    return all ? 1 : 0;
}

}  // namespace

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
    if (!copyField(d.devicePath, entry.devicePath) || !copyField(d.layer, entry.layer)) return false;
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

using cv50::device::Family;
using cv50::device::Walk;

extern "C" {

int ScanCorvUsb(SEARCH_RESULT* out) { return cv50::device::scan(out, Walk::Usb20, Family::CorvUsb); }
int ScanCorvMsc(SEARCH_RESULT* out) { return cv50::device::scan(out, Walk::Usb20, Family::CorvMsc); }
int ScanCorvUsb_All(SEARCH_RESULT* out) { return cv50::device::scan(out, Walk::All, Family::CorvUsb); }
int ScanCorvMsc_All(SEARCH_RESULT* out) { return cv50::device::scan(out, Walk::All, Family::CorvMsc); }

int CopySearchResult(SEARCH_RESULT* from, SEARCH_RESULT* to) {
    if (from == nullptr || to == nullptr || from->count < 1 || from->devices == nullptr) return 0;
    return cv50::device::copyRecords(from, to, from->count, [](const DEVICE_INFO&) { return true; });
}

int CopySuccessSearchResult(SEARCH_RESULT* from, SEARCH_RESULT* to) {
    if (from == nullptr || to == nullptr || from->count < 1 || from->devices == nullptr) return 0;
    int ok = 0;
    for (int i = 0; i < from->count; ++i) ok += from->devices[i].status == StatusOk;
    if (ok == 0) return 0;
    return cv50::device::copyRecords(from, to, ok,
                                     [](const DEVICE_INFO& d) { return d.status == StatusOk; });
}

int FreeSearchResult(SEARCH_RESULT* result) {
    if (result == nullptr || result->count < 1 || result->devices == nullptr ||
        result->devices == cv50::device::searchTable())
        return 0;
    delete[] result->devices;
    return 1;
}

int WaitCVDevice(SEARCH_RESULT* devices, CV_DEVICE_TYPE type, unsigned short timeoutSeconds) {
    return cv50::device::wait(devices, type, timeoutSeconds, Walk::Usb20);
}

int WaitCVDevice_All(SEARCH_RESULT* devices, CV_DEVICE_TYPE type, unsigned short timeoutSeconds) {
    return cv50::device::wait(devices, type, timeoutSeconds, Walk::All);
}

}  // extern "C"
