// The MD_ exports of CV50DLL: operations on a list of devices.
#pragma once

#include "engine/api/records.h"

extern "C" {
int MD_SwitchToCorvUsb(SEARCH_RESULT* devices, ERROR_LIST* errors);
int MD_ShowSystemDisk(SEARCH_RESULT* devices, ERROR_LIST* errors);
int MD_GetDeviceVersion(SEARCH_RESULT* devices, _CORV_VERSION* versions, ERROR_LIST* errors);
int MD_SendExCommand(SEARCH_RESULT* devices, ERROR_LIST* errors, unsigned int command,
                     unsigned char* buffer, unsigned int length);
int MD_RemoveCorvMsc(SEARCH_RESULT* devices, ERROR_LIST* errors);
int MD_ResetCorvUsb(SEARCH_RESULT* devices, ERROR_LIST* errors);
}
