// Formatting a player's disk FAT32 through the system's format library, copying a folder
// or a file onto it, and the two per-device workers that chain drive lookup, format and
// copy.
#pragma once

#include <cstdint>
#include <string>

#include "engine/device/records.h"
#include "engine/os/format_library.h"

namespace cv50::device {

using os::FormatCallback;

// Process-wide settings read by the workers; set before the workers start.
void SetVolumeLabel(const std::string& label);
void SetCopySource(const std::string& source);

// Starts one format of drive `letter`; the outcome is FormatResult() on the same thread.
void FormatDisk(char letter, const std::string& fileSystem, const std::string& label,
                FormatCallback callback);
// The callback handed to FormatDisk: stores the success byte when the format is done.
unsigned char CV50_FORMAT_CALL FormatCallbackProc(int command, std::uint32_t subAction,
                                                  void* actionData);
// Whether the last format run on this thread reported success (each worker thread keeps
// its own).
bool FormatResult();

// Copies the content of folder `source`, or the file `source`, onto drive `letter`.
// 1 on success, 0 on failure.
int CopyData(const std::string& source, char letter);

// Worker results.
inline constexpr int kWorkerDone = 0;
inline constexpr int kWorkerNoDrive = 1;
inline constexpr int kWorkerFormatFailed = 2;
inline constexpr int kWorkerCopyFailed = 3;

// Drive lookup, format with the shared label, copy of the shared copy source, command
// 0xFFFFFFFB; sets device.status to StatusOk or StatusFailed as its last act.
int FormatAndCopyWorker(DEVICE_INFO& device);
// The same without the copy.
int FormatOnlyWorker(DEVICE_INFO& device);

}  // namespace cv50::device
