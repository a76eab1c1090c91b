// The log exports: hosts write their own lines into the engine's log.
#include <cstdarg>

#include "engine/api/export_guard.h"
#include "engine/api/exports.h"
#include "engine/device/log.h"

extern "C" {

void Log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    cv50::api::Guarded("Log", [&] { cv50::LogV(format, args); });
    va_end(args);
}

int AppendLogLine(const char* text) {
    return cv50::api::Guarded("AppendLogLine", 0,
                              [&] { return cv50::log::appendLine(text) ? 1 : 0; });
}

}  // extern "C"
