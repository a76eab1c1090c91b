// Finding players: the scans into the library's 16-record search table, and copies of
// search results owned by the caller. The library exports them as ScanCorvUsb and its
// siblings (engine/api/search_exports.h).
#pragma once

#include <optional>

#include "engine/device/port_walk.h"
#include "engine/device/records.h"

namespace cv50::device {

// Which host controllers a walk visits: the USB 2.0 root hubs, or every controller.
enum class Walk { Usb20, All };
enum class Family { CorvUsb, CorvMsc };

inline Walk walkFor(bool includeUsb11) { return includeUsb11 ? Walk::All : Walk::Usb20; }

// Every port of the walk, in walk order.
std::vector<PortEntry> WalkPorts(Walk walk);
// The players of `family` into the search table, `out` pointing at it; their count.
int Scan(SEARCH_RESULT* out, Walk walk, Family family);
// A copy of all records, or of those with StatusOk, in a new array the caller frees with
// FreeResult. 1 when copied.
int CopyResult(const SEARCH_RESULT* from, SEARCH_RESULT* to);
int CopySuccessfulResult(const SEARCH_RESULT* from, SEARCH_RESULT* to);
// Frees a copy; the search table itself is never freed. 1 when freed.
int FreeResult(SEARCH_RESULT* result);

// Every player of either family on the walk, in walk order, without drive letters (a
// disk's letter takes a lookup of its own). A port whose texts do not fit a record counts
// but has no record: `count` may exceed `players.size()`.
struct FoundPlayers {
    int count = 0;
    std::vector<DEVICE_INFO> players;
};
FoundPlayers FindPlayers(Walk walk);

// What answers on a port, by the configured numbers; nothing when it is not ours.
std::optional<CV_DEVICE_TYPE> classify(const PortEntry& entry);

// Fills `record` from a port entry: numbers, path, Layer, device node, `type`, status
// StatusIdle, no drive letter. False, with `record` unchanged, when a text does not fit
// its field (it is never cut into another device's text).
[[nodiscard]] bool recordFromEntry(DEVICE_INFO& record, const PortEntry& entry,
                                   CV_DEVICE_TYPE type);

// The drive letter of a disk: GetDemoDrive up to 3 times, `retryMs` after each failure; 0.
char findDriveLetter(const std::string& devicePath, std::uint32_t devInst,
                     std::uint32_t retryMs = 1000);

// The static search table (tests and the library's own flows).
DEVICE_INFO* searchTable();

}  // namespace cv50::device
