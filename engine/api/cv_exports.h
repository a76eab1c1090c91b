// The device-record exports of CV50DLL: operations on one DEVICE_INFO, exported under their
// C++ (decorated) names since they take references.
#pragma once

#include "engine/device/records.h"

// How many attached devices match either pair; `out` describes the first in walk order.
int CV_FindDevice(DEVICE_INFO& out, int includeUsb11);
// 1 once the device on `device.layer` was seen as `type` on 10 polls in a row; the record
// then describes it. 0 at the timeout, the record unchanged.
int CV_WaitDevice(DEVICE_INFO& device, CV_DEVICE_TYPE type, unsigned short timeoutSeconds,
                  int includeUsb11);
int CV_SwitchCorvUsb(const DEVICE_INFO& device);
int CV_GetDeviceVersion(const DEVICE_INFO& device, _CORV_VERSION* out);
int CV_ResetDevice(const DEVICE_INFO& device);
int CV_DownloadImage(const DEVICE_INFO& device, char* imagePath);
// Reset flag, reset, wait for the disk (the record then describes it), format, copy.
int CV_CopyData(DEVICE_INFO& device, char* sourceFolder, char* volumeLabel,
                unsigned short mscTimeoutSeconds, int includeUsb11);
// 0, -1 boot download, -2 device test, -3 ID Block, -4 loader file unusable.
int CV_Upgrade(const DEVICE_INFO& device, unsigned long imageSizeMB, unsigned long systemDiskMB,
               unsigned long configDiskMB, char* loaderFile, int idBlockMode, int hasSizeRecord);
// Removes the ID Blocks and waits for the device to come back in mask ROM.
int CV_EraseIDB(DEVICE_INFO& device, unsigned short timeoutSeconds, int includeUsb11,
                char* loaderFile);
