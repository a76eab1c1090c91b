// Disk format and data copy.
#include "engine/device/format_copy.h"

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

#include "engine/device/disk_commands.h"
#include "engine/device/log.h"
#include "engine/device/search.h"
#include "engine/os/os.h"

namespace cv50::device {
namespace {

constexpr std::size_t kFileSystemChars = 20;  // wide buffers handed to FormatEx, NUL included
constexpr std::size_t kLabelChars = 12;
constexpr std::size_t kMaxPathBuffer = 260;

struct Settings {
    std::mutex lock;
    std::string volumeLabel;
    std::string copySource;
};

Settings& settings() {
    static Settings s;
    return s;
}

std::string volumeLabel() {
    std::lock_guard guard(settings().lock);
    return settings().volumeLabel;
}

std::string copySource() {
    std::lock_guard guard(settings().lock);
    return settings().copySource;
}

// FormatEx calls back on the thread that called it, so each worker sees only its own format.
thread_local bool formatResult = false;

// FormatEx, looked up through the backend on every format: the library stays loaded once
// loaded, and one that was missing is looked for again next time.
os::FormatExFunction formatEx() {
    os::Os& sys = os::current();
    const os::Handle library = sys.loadLibrary("fmifs.dll");
    if (library == 0) return nullptr;
    return reinterpret_cast<os::FormatExFunction>(sys.libraryFunction(library, "FormatEx"));
}

// Narrow text widened character by character into a buffer of N wide characters with its
// NUL; text that does not fit is cut (a FAT label holds 11 characters anyway).
template <std::size_t N>
std::array<wchar_t, N> wide(const std::string& text) {
    std::array<wchar_t, N> out{};
    for (std::size_t i = 0; i < text.size() && i + 1 < N; ++i)
        out[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    return out;
}

// The Layer of a record, which may fill its field without a NUL.
std::string layerOf(const DEVICE_INFO& device) {
    return std::string(device.layer, strnlen(device.layer, sizeof device.layer));
}

// The record's status is polled by the thread that started the worker.
void finish(DEVICE_INFO& device, std::uint32_t status) {
    std::atomic_ref<std::uint32_t>(device.status).store(status, std::memory_order_release);
}

// Steps 1 and 2 of both workers: the drive letter, then up to three formats. Returns the
// letter, or 0 with `failure` set to the worker's result.
char lookUpAndFormat(DEVICE_INFO& device, const std::string& layer, int& failure) {
    os::Os& sys = os::current();
    Log("<Layer:%s> INFO:Begin to get drive", layer.c_str());
    const char letter = findDriveLetter(device.devicePath, device.devInst, 2000);
    if (letter == 0) {
        Log("<Layer:%s> ERROR:GetDemoDrive failed", layer.c_str());
        failure = kWorkerNoDrive;
        return 0;
    }
    sys.sleepMs(1000);
    Log("<Layer:%s> INFO:Begin to format disk", layer.c_str());
    const std::string label = volumeLabel();
    for (int attempt = 0; attempt < 3; ++attempt) {
        FormatDisk(letter, "FAT32", label, FormatCallbackProc);
        if (FormatResult()) return letter;
        Log("<Layer:%s> ERROR:FormatDisk failed,ErrCode(%d)", layer.c_str(),
            static_cast<int>(sys.lastError()));
        sys.sleepMs(2000);
    }
    failure = kWorkerFormatFailed;
    return 0;
}

// Both workers: drive, format, the copy when asked for, and the closing vendor command.
int runWorker(DEVICE_INFO& device, bool copy) {
    const std::string layer = layerOf(device);
    int failure = kWorkerDone;
    const char letter = lookUpAndFormat(device, layer, failure);
    if (letter == 0) {
        finish(device, StatusFailed);
        return failure;
    }
    if (copy) {
        Log("<Layer:%s> INFO:Begin to copy data", layer.c_str());
        if (!CopyData(copySource(), letter)) {
            Log("<Layer:%s> ERROR:CopyData failed", layer.c_str());
            finish(device, StatusFailed);
            return kWorkerCopyFailed;
        }
    }
    ScsiVendorCommand(letter, kCommandDataCopied, nullptr, 0);
    Log(copy ? "<Layer:%s> INFO:CopyData OK" : "<Layer:%s> INFO:FormatDisk OK", layer.c_str());
    finish(device, StatusOk);
    return kWorkerDone;
}

}  // namespace

void SetVolumeLabel(const std::string& label) {
    std::lock_guard guard(settings().lock);
    settings().volumeLabel = label;
}

void SetCopySource(const std::string& source) {
    std::lock_guard guard(settings().lock);
    settings().copySource = source;
}

void FormatDisk(char letter, const std::string& fileSystem, const std::string& label,
                FormatCallback callback) {
    formatResult = false;
    const os::FormatExFunction format = formatEx();
    if (format == nullptr) return;
    os::Os& sys = os::current();
    wchar_t root[] = {static_cast<wchar_t>(static_cast<unsigned char>(letter)), L':', L'\\', 0};
    const int media =
        sys.driveType(letter) == os::kDriveFixed ? os::kMediaFixed : os::kMediaRemovable;
    auto fileSystemText = wide<kFileSystemChars>(fileSystem);
    auto labelText = wide<kLabelChars>(label);
    const os::WindowsVersion version = sys.windowsVersion();
    // Quick where the version cannot be read; Windows 2000 and XP get a full format.
    const bool known = version.major != 0;
    const bool quick = !known || version.major > 5;
    if (known && quick) Log("INFO:Quick format");
    format(root, media, fileSystemText.data(), labelText.data(), quick ? 1 : 0, 0, callback);
}

unsigned char CV50_FORMAT_CALL FormatCallbackProc(int command, std::uint32_t, void* actionData) {
    if (command == os::kFormatCommandDone)
        formatResult = actionData != nullptr && *static_cast<unsigned char*>(actionData) != 0;
    return 1;
}

bool FormatResult() { return formatResult; }

int CopyData(const std::string& source, char letter) {
    os::Os& sys = os::current();
    const os::PathKind kind = sys.pathKind(source);
    if (kind == os::PathKind::Missing) {
        Log("Error:The path is not existed.(%s)", source.c_str());
        return 0;
    }
    const std::string drive{letter, ':'};
    if (kind == os::PathKind::Folder) {
        const bool endsInSeparator = !source.empty() && source.back() == '\\';
        const std::string pattern = source + (endsInSeparator ? "*.*" : "\\*.*");
        // The shell reads a path buffer of 260 characters: a longer pattern would be cut into
        // another path, so it is not copied at all.
        if (pattern.size() + 1 > kMaxPathBuffer) {
            Log("Error:The path is too long.(%s)", source.c_str());
            return 0;
        }
        bool aborted = false;
        const int result = sys.shellCopy(pattern, drive, aborted);
        return result == 0 && !aborted && sys.pathKind(drive) != os::PathKind::Missing ? 1 : 0;
    }
    const std::size_t slash = source.find_last_of('\\');
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    return sys.copyFile(source, drive + "\\" + name) ? 1 : 0;
}

int FormatAndCopyWorker(DEVICE_INFO& device) { return runWorker(device, true); }

int FormatOnlyWorker(DEVICE_INFO& device) { return runWorker(device, false); }

}  // namespace cv50::device
