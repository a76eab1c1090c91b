// The shell copy, the file copy and path queries on the simulated players' volumes, and
// whole volumes saved to host files. A drive letter in a path ("E:", "E:\Music") is the
// simulated volume of that letter; copies onto a letter that has none fail as onto a
// missing drive, and other destinations are not copied to.
#include <cctype>
#include <filesystem>
#include <iostream>

#include "base/host.h"
#include "engine/os/error_codes.h"
#include "fwpkg/fat_editor.h"
#include "fwpkg/sector_device_io.h"
#include "sim/sim_os.h"

namespace cv50::sim {
namespace {

constexpr int kErrorFileNotFound = static_cast<int>(os::error::kFileNotFound);
constexpr int kErrorPathNotFound = static_cast<int>(os::error::kPathNotFound);
constexpr int kErrorWriteFault = static_cast<int>(os::error::kWriteFault);

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// A path with a drive letter in front ("E:", "e:\Music\x").
bool hasDriveLetter(const std::string& path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && (path.size() == 2 || isSeparator(path[2]));
}

// The part of a drive path inside the volume, without leading separators.
std::string insideVolume(const std::string& path) {
    std::size_t at = 2;
    while (at < path.size() && isSeparator(path[at])) ++at;
    return path.substr(at);
}

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && isSeparator(path.back()) && path[path.size() - 2] != ':')
        path.pop_back();
    return path;
}

// A host path's last name (UTF-8).
std::string fileName(const std::filesystem::path& host) {
    const auto u8 = host.filename().u8string();
    return std::string(u8.begin(), u8.end());
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "\\" + name;
}

}  // namespace

void SimOs::setVolumeProvider(VolumeProvider provider) {
    std::lock_guard lock(volumeMutex_);
    volumeProvider_ = std::move(provider);
}

std::unique_ptr<fwpkg::SectorDevice> SimOs::volumeDevice(char letter, std::string& error) {
    std::unique_ptr<fwpkg::SectorDevice> device;
    if (volumeProvider_) device = volumeProvider_(letter);
    if (!device) error = std::string("drive ") + letter + ": has no simulated volume";
    return device;
}

fwpkg::FatResult SimOs::editVolume(char letter,
                                   const std::function<fwpkg::FatResult(fwpkg::FatEditor&)>& edit) {
    std::lock_guard lock(volumeMutex_);
    std::string error;
    const auto device = volumeDevice(letter, error);
    if (!device) return fwpkg::FatResult::failed(error);
    std::unique_ptr<fwpkg::FatEditor> editor;
    if (fwpkg::FatResult r = fwpkg::FatEditor::open(*device, editor); !r) return r;
    editor->setStamp(dosStampNow());
    return edit(*editor);
}

fwpkg::DosStamp SimOs::dosStampNow() {
    const os::LocalTime t = clock_.localTime();
    return fwpkg::dosStamp(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

char SimOs::playerVolumeOf(const std::string& enginePath) {
    if (!hasDriveLetter(enginePath)) return 0;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(enginePath[0])));
    std::lock_guard lock(mutex_);
    sync();
    return world_.playerOnDrive(letter) != nullptr ? letter : 0;
}

os::PathKind SimOs::pathKind(const std::string& path) {
    if (const char letter = playerVolumeOf(path)) {
        const std::string inside = insideVolume(path);
        if (inside.empty()) return os::PathKind::Folder;
        std::lock_guard lock(volumeMutex_);
        std::string error;
        const auto device = volumeDevice(letter, error);
        if (!device) return os::PathKind::Missing;
        fwpkg::SectorDeviceSource source(*device);
        std::unique_ptr<fwpkg::FatVolume> volume;
        fwpkg::FatEntry entry;
        if (fwpkg::FatVolume::open(source, volume) != fwpkg::FatError::Ok ||
            volume->find(inside, entry) != fwpkg::FatError::Ok)
            return os::PathKind::Missing;
        return entry.directory ? os::PathKind::Folder : os::PathKind::File;
    }
    std::error_code ec;
    if (path.empty()) return os::PathKind::Missing;
    const auto status = std::filesystem::status(base::hostPath(path), ec);
    if (ec || !std::filesystem::exists(status)) return os::PathKind::Missing;
    return std::filesystem::is_directory(status) ? os::PathKind::Folder : os::PathKind::File;
}

int SimOs::shellCopy(const std::string& sourcePattern, const std::string& destination,
                     bool& aborted) {
    aborted = false;
    const char letter = playerVolumeOf(destination);
    if (letter == 0) return kErrorPathNotFound;
    // "SRC\*.*" names what SRC holds; any other source is copied itself.
    std::string source = sourcePattern;
    const bool content = source.size() >= 3 && source.compare(source.size() - 3, 3, "*.*") == 0;
    if (content) source.resize(source.size() - 3);
    const std::filesystem::path host = base::hostPath(withoutTrailingSeparators(source));
    std::error_code ec;
    const bool folder = std::filesystem::is_directory(host, ec);
    if ((content && !folder) || (!folder && !std::filesystem::is_regular_file(host, ec)))
        return kErrorFileNotFound;

    bool started = false;
    const fwpkg::FatResult r = editVolume(letter, [&](fwpkg::FatEditor& editor) {
        started = true;
        const std::string target = insideVolume(destination);
        if (content) return editor.addHostFolder(host, target);
        if (folder) return editor.addHostFolder(host, joined(target, fileName(host)));
        return editor.addHostFile(host, joined(target, fileName(host)));
    });
    if (r) return 0;
    // The shell stops at the first error and shows it.
    std::cerr << "cv50 simulator: the copy to " << letter << ": stopped: " << r.message << "\n";
    aborted = started;
    return started ? kErrorWriteFault : kErrorPathNotFound;
}

bool SimOs::copyFile(const std::string& source, const std::string& destination) {
    const char letter = playerVolumeOf(destination);
    const std::string target = insideVolume(destination);
    std::error_code ec;
    const std::filesystem::path host = base::hostPath(source);
    if (letter == 0 || target.empty() || !std::filesystem::is_regular_file(host, ec)) return false;
    const fwpkg::FatResult r = editVolume(
        letter, [&](fwpkg::FatEditor& editor) { return editor.addHostFile(host, target); });
    if (!r) std::cerr << "cv50 simulator: cannot copy " << source << ": " << r.message << "\n";
    return r.ok;
}

bool SimOs::saveVolumeImage(char letter, const std::string& hostPath, std::string& error) {
    std::lock_guard lock(volumeMutex_);
    const auto device =
        volumeDevice(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))), error);
    return device && fwpkg::saveDeviceImage(*device, hostPath, error);
}

bool SimOs::saveVolumeImageOfLayer(const std::string& layer, const std::string& hostPath,
                                   std::string& error) {
    char letter = 0;
    {
        std::lock_guard lock(mutex_);
        sync();
        for (const auto& p : world_.players())
            if (p->layer == layer && p->onBus()) letter = p->driveLetter;
    }
    if (letter == 0) {
        error = "no player on " + layer + " has a mounted volume";
        return false;
    }
    return saveVolumeImage(letter, hostPath, error);
}

}  // namespace cv50::sim
