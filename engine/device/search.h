// Finding players: the four scans into the library's 16-record search table, copies of
// search results owned by the caller, and the wait for a set of players on their Layers.
#pragma once

#include <optional>

#include "engine/device/port_walk.h"
#include "engine/device/records.h"

extern "C" {
int ScanCorvUsb(SEARCH_RESULT* out);
int ScanCorvMsc(SEARCH_RESULT* out);
int ScanCorvUsb_All(SEARCH_RESULT* out);
int ScanCorvMsc_All(SEARCH_RESULT* out);
int CopySearchResult(SEARCH_RESULT* from, SEARCH_RESULT* to);
int CopySuccessSearchResult(SEARCH_RESULT* from, SEARCH_RESULT* to);
int FreeSearchResult(SEARCH_RESULT* result);
int WaitCVDevice(SEARCH_RESULT* devices, CV_DEVICE_TYPE type, unsigned short timeoutSeconds);
int WaitCVDevice_All(SEARCH_RESULT* devices, CV_DEVICE_TYPE type, unsigned short timeoutSeconds);
}

namespace cv50::device {

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
