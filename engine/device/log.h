// The engine's log: one dated text file per day in the folder named by SetLogPath.
// Logging is off until a folder is set; every thread appends through one lock.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

namespace cv50 {

// printf-style; formats into 1024 characters (longer output is cut to 1023) and
// appends the line when logging is enabled. The library exports it as "Log".
void Log(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void LogV(const char* format, std::va_list args);

}  // namespace cv50

namespace cv50::log {

inline constexpr std::size_t kFolderCapacity = 256;  // with its NUL
inline constexpr std::size_t kMessageCapacity = 1024;

// Appends "HH:MM:SS mmm\t" + text + "\r\n" to today's file. False when it was dropped.
bool appendLine(const char* text);
// Sets the log folder (stored ending in one "\") and enables logging. False, with the
// previous state kept, when the folder does not exist or its text does not fit.
bool setFolder(const char* folder);
bool enabled();
std::string folder();
// Back to the initial state: no folder, logging off.
void disable();

// Hears every line Log formats, whether or not the file is on (a program shows them in its
// window). Lines arrive one at a time, from the thread that logged them; a listener must
// not log or install another listener.
using LineListener = std::function<void(const std::string& line)>;
// Installs `listener` for the whole process (an empty one stops) and returns the previous.
LineListener SetLineListener(LineListener listener);

// While it lives, every line that Log formats on the constructing thread begins with `prefix`
// ("<Layer:1-2> "), so that the engine's lines of one device among many name the device;
// a line that begins with it already is left as it is.
// Nested prefixes replace each other; the previous one comes back at the end of the scope.
class ScopedLinePrefix {
public:
    explicit ScopedLinePrefix(std::string prefix);
    ~ScopedLinePrefix();
    ScopedLinePrefix(const ScopedLinePrefix&) = delete;
    ScopedLinePrefix& operator=(const ScopedLinePrefix&) = delete;

private:
    std::string previous_;
};

}  // namespace cv50::log
