// Log file writing.
#include "engine/device/log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

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

void disable() {
    std::lock_guard guard(lock());
    logFolder.clear();
    logEnabled = false;
}

}  // namespace cv50::log

extern "C" int AppendLogLine(const char* text) {
    using namespace cv50;
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

    std::lock_guard guard(log::lock());
    if (!log::logEnabled) return 0;
    std::FILE* f = sys.openExclusiveReadWrite(log::logFolder + name);
    if (f == nullptr) return 0;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    ok = ok && std::fwrite(line.data(), 1, line.size(), f) == line.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok ? 1 : 0;
}

extern "C" void Log(const char* format, ...) {
    if (format == nullptr || !cv50::log::enabled()) return;
    char buffer[cv50::log::kMessageCapacity];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    buffer[sizeof buffer - 1] = '\0';
    AppendLogLine(buffer);
}
