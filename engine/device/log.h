// The engine's log: one dated text file per day in the folder named by SetLogPath.
// Logging is off until a folder is set; every thread appends through one lock.
#pragma once

#include <string>

extern "C" {
// printf-style; formats into 1024 characters (longer output is cut to 1023) and
// appends the line when logging is enabled.
void Log(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Appends "HH:MM:SS mmm\t" + text + "\r\n" to today's file. 1 = written, 0 = dropped.
int AppendLogLine(const char* text);
}

namespace cv50::log {

inline constexpr std::size_t kFolderCapacity = 256;  // with its NUL
inline constexpr std::size_t kMessageCapacity = 1024;

// Sets the log folder (stored ending in one "\") and enables logging. False, with the
// previous state kept, when the folder does not exist or its text does not fit.
bool setFolder(const char* folder);
bool enabled();
std::string folder();
// Back to the initial state: no folder, logging off.
void disable();

}  // namespace cv50::log
