// Loaders sent back into disk mode: reset flag, reset, and the wait for the disks. The
// first half of MD_CopyData, and the end of an upgrade that keeps the player's files.
#pragma once

#include "engine/api/error_list.h"
#include "engine/api/owned_list.h"
#include "engine/device/records.h"

namespace cv50::api {

// Marks the caller's record `index` failed with `text`, once: a record already failed
// keeps its first message.
void FailRecord(SEARCH_RESULT& list, int index, ErrorListWriter& errors, const char* text);

// Every Loader of `list` reset with the reset flag set, then the disks waited for. Records
// that are not loaders, fail to reset or never come back get their message; `disks` gets
// the records of those that came back (as disks, with their new paths). False when none
// came back.
bool ResetLoadersIntoDisks(SEARCH_RESULT& list, ErrorListWriter& errors,
                           unsigned short mscTimeoutSeconds, bool includeUsb11, OwnedList& disks);

// The same with the MD_ frame: errors on the library's table; every record that came
// back as a disk ends StatusOk. 1 when all did.
int ReturnToDisk(SEARCH_RESULT* devices, ERROR_LIST* errors, unsigned short mscTimeoutSeconds,
                 bool includeUsb11);

}  // namespace cv50::api
