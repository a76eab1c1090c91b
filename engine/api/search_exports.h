// The search exports of CV50DLL: the four scans into the library's 16-record search table,
// copies of search results owned by the caller, and the wait for players on their Layers.
#pragma once

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
