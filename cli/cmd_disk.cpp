// cv50 version, cv50 switch and cv50 format: a player running as a disk.
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/disk_version.h"
#include "cli/port_option.h"
#include "engine/api/md_exports.h"
#include "engine/api/search_exports.h"
#include "engine/device/format_copy.h"
#include "engine/device/search.h"
#include "engine/os/os.h"

namespace cv50::cli {
namespace {

// The longest label a FAT volume keeps.
constexpr std::size_t kMaxLabel = 11;

struct SwitchOptions {
    std::string layer;
    unsigned timeout = 20;
};

struct FormatOptions {
    std::string layer, label, copy;
};

int runVersion(const std::string& layer) {
    std::string problem;
    const auto versions = readDiskVersions(layer, problem);
    if (!versions) {
        std::cerr << "cv50 version: " << problem << "\n";
        return kExitFailed;
    }
    std::cout << "loader version: " << versions->loader << "\n"
              << "system version: " << versions->system << "\n";
    return kExitOk;
}

int runSwitch(const SwitchOptions& o) {
    auto disk = diskOn(o.layer);
    if (!disk) {
        std::cerr << "cv50 switch: no disk (CorvMsc) on port " << o.layer << "\n";
        return kExitFailed;
    }
    SEARCH_RESULT list{1, &*disk};
    ERROR_LIST errors{};
    if (!MD_SwitchToCorvUsb(&list, &errors)) {
        std::cerr << "cv50 switch: " << errors.errors[0].text << "\n";
        return kExitFailed;
    }
    if (!WaitCVDevice_All(&list, Loader, static_cast<unsigned short>(o.timeout))) {
        std::cerr << "cv50 switch: the player left disk mode but no Loader answered on port "
                  << o.layer << " within " << o.timeout << " s\n";
        return kExitFailed;
    }
    std::cout << "Loader on port " << disk->layer << ": " << disk->devicePath << "\n";
    return kExitOk;
}

int runFormat(const FormatOptions& o) {
    if (o.label.size() > kMaxLabel) {
        std::cerr << "cv50 format: --label: a volume label has at most " << kMaxLabel
                  << " characters\n";
        return kExitBadInput;
    }
    if (!o.copy.empty() && os::current().pathKind(o.copy) == os::PathKind::Missing) {
        std::cerr << "cv50 format: --copy: nothing at " << o.copy << "\n";
        return kExitBadInput;
    }
    auto disk = diskOn(o.layer);
    if (!disk) {
        std::cerr << "cv50 format: no disk (CorvMsc) on port " << o.layer << "\n";
        return kExitFailed;
    }
    device::SetVolumeLabel(o.label);
    device::SetCopySource(o.copy);
    const int result =
        o.copy.empty() ? device::FormatOnlyWorker(*disk) : device::FormatAndCopyWorker(*disk);
    switch (result) {
        case device::kWorkerDone:
            std::cout << "Disk on port " << disk->layer << " formatted FAT32";
            if (!o.copy.empty()) std::cout << " and filled from " << o.copy;
            std::cout << "\n";
            return kExitOk;
        case device::kWorkerNoDrive:
            std::cerr << "cv50 format: the disk on port " << o.layer << " has no drive letter\n";
            return kExitFailed;
        case device::kWorkerFormatFailed:
            std::cerr << "cv50 format: the disk on port " << o.layer
                      << " could not be formatted (three tries)\n";
            return kExitFailed;
        default:
            std::cerr << "cv50 format: the disk on port " << o.layer
                      << " was formatted, but copying " << o.copy << " failed\n";
            return kExitFailed;
    }
}

}  // namespace

void addDiskCommands(CLI::App& app, Action& action) {
    auto layer = std::make_shared<std::string>();
    CLI::App* version =
        app.add_subcommand("version", "Show the loader and system versions of a disk");
    addPortOption(*version, *layer);
    version->callback([layer, &action] { action = [layer] { return runVersion(*layer); }; });

    auto sw = std::make_shared<SwitchOptions>();
    CLI::App* switchCommand = app.add_subcommand(
        "switch", "Switch a disk to CorvUsb mode and wait for it to answer as Loader");
    addPortOption(*switchCommand, sw->layer);
    switchCommand->add_option("--timeout", sw->timeout, "Seconds to wait (default 20)")
        ->check(CLI::Range(0, 65535));
    switchCommand->callback([sw, &action] { action = [sw] { return runSwitch(*sw); }; });

    auto f = std::make_shared<FormatOptions>();
    CLI::App* format = app.add_subcommand(
        "format", "Format a disk FAT32 and optionally copy a folder's content (or a file) onto it");
    addPortOption(*format, f->layer);
    format->add_option("--label", f->label, "Volume label (at most 11 characters)");
    format->add_option("--copy", f->copy, "Folder whose content, or file, to copy onto the disk");
    format->callback([f, &action] { action = [f] { return runFormat(*f); }; });
}

}  // namespace cv50::cli
