// The exported interface of CV50DLL, as far as it is built.
#pragma once

#include "engine/device/log.h"
#include "engine/device/records.h"

extern "C" {
void DllInitialize();
void DllDeInitialize();
void SetVidPid(unsigned short corvUsbVid, unsigned short corvUsbPid, unsigned short corvMscVid,
               unsigned short corvMscPid);
int SetLogPath(char* folder);
// printf-style into the engine's log (cut to 1023 characters); nothing while logging is off.
void Log(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Appends "HH:MM:SS mmm\t" + text + "\r\n" to today's file. 1 = written, 0 = dropped.
int AppendLogLine(const char* text);

int ExtractLoaderFile(char* imagePath, char* outFile);
int CVCheckImage(char* imagePath);
int CVGetVersionFromImage(char* imagePath, char* loaderFile, _CORV_VERSION* out);

// 1 when the device's serial number has exactly `length` bytes, copied to `buffer`.
int ReadSN(DEVICE_INFO* device, unsigned char* buffer, int length);
// 1 when all five ID Block copies were rewritten with `sn` (at most 500 bytes kept).
int WriteSN(DEVICE_INFO* device, unsigned char* sn, int length);

// Installs the CorvUsb driver from the INF file `infPath`: 0 installed, 1 installed and
// Windows asks for a restart, 2 the install failed, 3 no such INF file, 4 the Windows version
// could not be read, 5 the new-hardware dialog could not be dealt with, 6 no new-device
// library, 7 the new-hardware windows could not be closed.
int CVInstallDriver(char* infPath);
// 1 when a present device of any class has the CorvUsb hardware id.
int CVIsCorvUsbPlug();
}

// Exported under their C++ (decorated) names: they take references.
int CV_GetLoaderVersion(char* imagePath, unsigned short& high, unsigned short& low);
int CV_GetSystemVersion(char* imagePath, unsigned short& high, unsigned short& low);
int CV_GetDiskSize(char* imagePath, unsigned int& systemDiskMB, unsigned int& configDiskMB);
int CV_GetImageSize(char* imagePath, unsigned int& sizeMB);
