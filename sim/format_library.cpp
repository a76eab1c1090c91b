// FormatEx of the simulated format library, and the format of a simulated volume.
#include "sim/format_library.h"

#include <algorithm>
#include <mutex>
#include <string_view>

#include "engine/os/error_codes.h"
#include "engine/os/format_library.h"
#include "fwpkg/fat_editor.h"
#include "sim/last_error.h"
#include "sim/sim_os.h"
#include "sim/text.h"

namespace cv50::sim {
namespace {

// FormatEx is a plain function: it finds the simulator that handed it out here. The lock
// is held for a whole format, so that simulator cannot go away under one.
std::mutex hostMutex;
SimOs* formatHost = nullptr;

// Text the format library was handed, when it is printable ASCII of a sane length.
std::optional<std::string> narrowText(const wchar_t* text) {
    constexpr std::size_t kLimit = 260;
    if (text == nullptr) return std::string();
    std::string out;
    for (std::size_t i = 0; text[i] != 0; ++i) {
        if (i == kLimit || text[i] < 0x20 || text[i] > 0x7E) return std::nullopt;
        out += static_cast<char>(text[i]);
    }
    return out;
}

void CV50_FORMAT_CALL simulatedFormatEx(wchar_t* root, int mediaKind, wchar_t* fileSystem,
                                        wchar_t* label, int quick, std::uint32_t clusterSize,
                                        os::FormatCallback callback) {
    SimOs::FormatRequest request;
    request.mediaKind = mediaKind;
    request.quick = quick != 0;
    request.clusterBytes = clusterSize;
    const auto rootText = narrowText(root);
    const auto fileSystemText = narrowText(fileSystem);
    const auto labelText = narrowText(label);
    if (rootText &&
        (*rootText == rootText->substr(0, 1) + ":" || *rootText == rootText->substr(0, 1) + ":\\"))
        request.letter = upper(rootText->substr(0, 1))[0];
    if (fileSystemText) request.fileSystem = *fileSystemText;
    // Labels on FAT are kept in upper case.
    if (labelText) request.label = upper(*labelText);
    if (!rootText || !fileSystemText || !labelText) request.error = "text that is not plain ASCII";

    unsigned char success = 0;
    {
        std::lock_guard lock(hostMutex);
        // A caller may keep the function longer than the simulator that gave it, as it
        // would keep the library: then the process's simulator answers.
        SimOs* sim = formatHost != nullptr ? formatHost : dynamic_cast<SimOs*>(&os::current());
        success = sim != nullptr && sim->formatVolume(request) ? 1 : 0;
    }
    if (callback != nullptr) callback(os::kFormatCommandDone, 0, &success);
}

static_assert(std::is_same_v<decltype(&simulatedFormatEx), os::FormatExFunction>);

}  // namespace

bool isFormatLibraryName(const std::string& name) {
    const std::size_t slash = name.find_last_of("\\/");
    const std::string base = upper(slash == std::string::npos ? name : name.substr(slash + 1));
    return base == "FMIFS.DLL" || base == "FMIFS";
}

void* formatExFunction(SimOs& host) {
    std::lock_guard lock(hostMutex);
    formatHost = &host;
    return reinterpret_cast<void*>(&simulatedFormatEx);
}

void forgetFormatHost(const SimOs& host) {
    std::lock_guard lock(hostMutex);
    if (formatHost == &host) formatHost = nullptr;
}

bool SimOs::formatVolume(FormatRequest request) {
    std::lock_guard lock(volumeMutex_);
    // The system's format library leaves no documented code; the simulated one says why.
    const auto fail = [&](std::string why, std::uint32_t code = os::error::kWriteFault) {
        setLastError(code);
        request.succeeded = false;
        request.error = std::move(why);
        formatRequests_.push_back(request);
        return false;
    };
    if (!request.error.empty()) return fail(request.error, os::error::kInvalidParameter);
    if (upper(request.fileSystem) != "FAT32")
        return fail(
            "the simulated format library formats FAT32 only, not \"" + request.fileSystem + "\"",
            os::error::kInvalidParameter);
    if (request.letter < 'A' || request.letter > 'Z')
        return fail("no drive letter in the root", os::error::kInvalidParameter);
    std::string error;
    const auto device = volumeDevice(request.letter, error);
    if (!device) return fail(error, os::error::kNotReady);
    const os::LocalTime now = clock_.localTime();
    fwpkg::Fat32FormatOptions options;
    options.label = request.label;
    options.clusterBytes = request.clusterBytes;
    options.stamp = dosStampNow();
    // A volume serial number from the time, as formats make them.
    options.volumeId = static_cast<std::uint32_t>((now.month << 24 | now.day << 16) +
                                                  (now.second << 8 | now.millisecond / 4) +
                                                  (now.year + now.hour * 256 + now.minute));
    if (const fwpkg::FatResult r = fwpkg::formatFat32(*device, options); !r) return fail(r.message);
    request.succeeded = true;
    formatRequests_.push_back(request);
    return true;
}

std::vector<SimOs::FormatRequest> SimOs::formatRequests() const {
    std::lock_guard lock(volumeMutex_);
    return formatRequests_;
}

}  // namespace cv50::sim
