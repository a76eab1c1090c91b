// The exported interface of CV50DLL, as far as it is built.
#pragma once

#include "engine/api/records.h"
#include "engine/device/log.h"

extern "C" {
void DllInitialize();
void DllDeInitialize();
void SetVidPid(unsigned short corvUsbVid, unsigned short corvUsbPid, unsigned short corvMscVid,
               unsigned short corvMscPid);
int SetLogPath(char* folder);
}
