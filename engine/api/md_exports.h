// The MD_ exports of CV50DLL: operations on a list of devices.
#pragma once

#include "engine/device/records.h"

extern "C" {
int MD_SwitchToCorvUsb(SEARCH_RESULT* devices, ERROR_LIST* errors);
int MD_ShowSystemDisk(SEARCH_RESULT* devices, ERROR_LIST* errors);
int MD_GetDeviceVersion(SEARCH_RESULT* devices, _CORV_VERSION* versions, ERROR_LIST* errors);
int MD_SendExCommand(SEARCH_RESULT* devices, ERROR_LIST* errors, unsigned int command,
                     unsigned char* buffer, unsigned int length);
int MD_RemoveCorvMsc(SEARCH_RESULT* devices, ERROR_LIST* errors);
int MD_ResetCorvUsb(SEARCH_RESULT* devices, ERROR_LIST* errors);

// The upgrade, in three calls: ID Blocks and reset; the image; reset flag, disk, format.
int MD_Upgrade(SEARCH_RESULT* devices, char* imagePath, ERROR_LIST* errors,
               unsigned int idBlockMode, unsigned int configDiskMB);
int MD_DownImage(SEARCH_RESULT* devices, char* imagePath, ERROR_LIST* errors);
// A null volumeLabel is an empty label; a null sourceFolder formats only.
int MD_CopyData(SEARCH_RESULT* devices, ERROR_LIST* errors, unsigned short mscTimeoutSeconds,
                char* volumeLabel, char* sourceFolder, int includeUsb11);

// The staged upgrade: the three calls chained, one merged error list.
int MD_Upgrade_Prepare(SEARCH_RESULT* out, unsigned short loaderTimeoutSeconds, int includeUsb11);
int MD_Upgrade_Work(SEARCH_RESULT* devices, char* imagePath, ERROR_LIST* errors,
                    unsigned int reserved, unsigned short loaderTimeoutSeconds,
                    unsigned int idBlockMode, int includeUsb11, unsigned int configDiskMB);
int MD_Upgrade_Format(SEARCH_RESULT* devices, char* imagePath, ERROR_LIST* errors,
                      unsigned short mscTimeoutSeconds, unsigned short loaderTimeoutSeconds,
                      char* volumeLabel, unsigned int idBlockMode, int includeUsb11,
                      unsigned int configDiskMB);
int MD_Upgrade_Copy(SEARCH_RESULT* devices, char* imagePath, char* sourceFolder, ERROR_LIST* errors,
                    unsigned short mscTimeoutSeconds, unsigned short loaderTimeoutSeconds,
                    char* volumeLabel, unsigned int idBlockMode, int includeUsb11,
                    unsigned int configDiskMB);
}
