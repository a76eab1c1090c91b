#include "apps/engineering/core/tool_log.h"

#include <cstdarg>
#include <cstdio>

#include "engine/device/log.h"

namespace cv50::engineering {

void ToolLog::setDebugLevel(int level) {
    std::lock_guard lock(mutex_);
    debugLevel_ = level;
}

void ToolLog::line(int level, const char* format, ...) {
    char buffer[log::kMessageCapacity];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (log::enabled()) log::appendLine(buffer);
    toWindow(level, buffer);
}

void ToolLog::banner(const char* text) {
    if (log::enabled()) log::appendLine(text);
}

void ToolLog::windowOnly(const std::string& text) { toWindow(kLevelProgress, text); }

void ToolLog::progress(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (lastWasProgress_)
        view_.replaceLastLog(text);
    else
        view_.appendLog(text);
    lastWasProgress_ = true;
}

void ToolLog::engineLine(const std::string& text) {
    // Some engine lines carry their own line end; the window adds one.
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    toWindow(kLevelEngine, line);
}

void ToolLog::toWindow(int level, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (level > debugLevel_) return;
    view_.appendLog(text);
    lastWasProgress_ = false;
}

}  // namespace cv50::engineering
