// Log file writing.
#include "engine/device/log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string_view>

#include "base/callback_slot.h"
#include "engine/os/os.h"

namespace cv50::log {
namespace {

// The log lock; it also guards the folder and the enable flag.
std::mutex& lock() {
    static std::mutex m;
    return m;
}

std::string logFolder;
bool logEnabled = false;
thread_local std::string linePrefix;

base::CallbackSlot<LineListener>& listener() {
    static base::CallbackSlot<LineListener> slot;
    return slot;
}

}  // namespace

bool setFolder(const char* folder) {
    if (folder == nullptr) return false;
    std::string text = folder;
    if (!os::current().pathExists(text)) return false;
    if (text.empty() || text.back() != '\\') text += '\\';
    // Cutting the text would name another folder; refuse instead.
    if (text.size() + 1 > kFolderCapacity) return false;
    std::lock_guard guard(lock());
    logFolder = std::move(text);
    logEnabled = true;
    return true;
}

bool enabled() {
    std::lock_guard guard(lock());
    return logEnabled;
}

std::string folder() {
    std::lock_guard guard(lock());
    return logFolder;
}

LineListener SetLineListener(LineListener replacement) {
    return listener().exchange(std::move(replacement));
}

ScopedLinePrefix::ScopedLinePrefix(std::string prefix) : previous_(std::move(linePrefix)) {
    linePrefix = std::move(prefix);
}

ScopedLinePrefix::~ScopedLinePrefix() { linePrefix = std::move(previous_); }

void disable() {
    std::lock_guard guard(lock());
    logFolder.clear();
    logEnabled = false;
}

bool appendLine(const char* text) {
    os::Os& sys = os::current();
    const os::LocalTime t = sys.localTime();
    char name[64];
    std::snprintf(name, sizeof name, "Log%04d-%02d-%02d.txt", t.year, t.month, t.day);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%02d:%02d:%02d %03d\t", t.hour, t.minute, t.second,
                  t.millisecond);
    std::string line = prefix;
    line += text ? text : "";
    line += "\r\n";

    std::lock_guard guard(lock());
    if (!logEnabled) return false;
    std::FILE* f = sys.openExclusiveReadWrite(logFolder + name);
    if (f == nullptr) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    ok = ok && std::fwrite(line.data(), 1, line.size(), f) == line.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

}  // namespace cv50::log

namespace cv50 {

void LogV(const char* format, std::va_list args) {
    if (format == nullptr || (!log::enabled() && !log::listener().installed())) return;
    char buffer[log::kMessageCapacity];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    buffer[sizeof buffer - 1] = '\0';
    // A line that names its device already is left as it is.
    std::string line = std::string_view(buffer).starts_with(log::linePrefix)
                           ? std::string(buffer)
                           : log::linePrefix + buffer;
    // The prefix counts against the same capacity as the message.
    if (line.size() > log::kMessageCapacity - 1) line.resize(log::kMessageCapacity - 1);
    log::listener().call(line);
    if (log::enabled()) log::appendLine(line.c_str());
}

void Log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(format, args);
    va_end(args);
}

}  // namespace cv50
