// cv50 flash: chip table, bad blocks of chip 0 and the planned ID Block and reserved blocks.
#include "cli/cmd_flash.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "cli/commands.h"
#include "cli/port_option.h"
#include "engine/device/log.h"
#include "engine/device/match_ids.h"
#include "engine/device/port_walk.h"
#include "engine/device/search.h"
#include "engine/flash/flash_device.h"

namespace cv50::cli {
namespace {

struct FlashOptions {
    std::string layer;
    bool json = false;
};

struct Report {
    std::string devicePath;
    std::uint32_t totalMB = 0;
    std::vector<std::uint32_t> badBlocks;
    std::uint32_t testedBlocks = 0;
    bool planned = false;
};

void printText(const flash::CFlashDevice& d, const Report& r, std::ostream& out) {
    const flash::FlashInfo& f = d.flashInfo;
    out << "Device  " << r.devicePath << "\n\n";
    out << "Chip  Size (MB)  Manufacturer\n";
    for (int i = 0; i < 8; ++i)
        if ((f.chipMask >> i) & 1)
            out << i << "     " << f.sizeMB << "        " << f.manufacturer << "\n";
    out << "Total " << r.totalMB << " MB; block " << f.blockKB << " KB (" << f.blockSectors
        << " sectors), page " << f.pageKB << " KB, " << f.blockCount << " blocks a chip\n\n";
    out << "Bad blocks of chip 0 (of the first " << r.testedBlocks << "):";
    if (r.badBlocks.empty()) out << " none";
    for (std::uint32_t b : r.badBlocks) out << " " << b;
    out << "\n";
    if (!r.planned) {
        out << "ID Block positions: none (not enough good blocks)\n";
        return;
    }
    out << "ID Block positions:";
    for (std::uint16_t b : d.idbBlocks) out << " " << b;
    out << "\nReserved blocks: " << d.reserved1First << "-" << d.reserved1Last << " and "
        << d.reserved2First << "-" << d.reserved2Last << "\n";
}

void printJson(const flash::CFlashDevice& d, const Report& r, std::ostream& out) {
    const flash::FlashInfo& f = d.flashInfo;
    nlohmann::json chips = nlohmann::json::array();
    for (int i = 0; i < 8; ++i)
        if ((f.chipMask >> i) & 1)
            chips.push_back({{"chip", i}, {"sizeMB", f.sizeMB}, {"manufacturer", f.manufacturer}});
    nlohmann::json j = {{"devicePath", r.devicePath},     {"chips", chips},
                        {"totalMB", r.totalMB},           {"blockKB", f.blockKB},
                        {"blockSectors", f.blockSectors}, {"pageKB", f.pageKB},
                        {"blockCount", f.blockCount},     {"testedBlocks", r.testedBlocks},
                        {"badBlocks", r.badBlocks}};
    if (r.planned) {
        j["idBlocks"] = d.idbBlocks;
        j["reserved"] = {{{"first", d.reserved1First}, {"last", d.reserved1Last}},
                         {{"first", d.reserved2First}, {"last", d.reserved2Last}}};
    } else {
        j["idBlocks"] = nullptr;
        j["reserved"] = nullptr;
    }
    out << j.dump(2) << "\n";
}

}  // namespace

std::optional<device::PortEntry> corvUsbOn(const std::string& layer) {
    std::vector<device::PortEntry> entries;
    device::EnumerateUsbPorts(entries);
    for (const device::PortEntry& e : entries) {
        const auto kind = device::classify(e);
        if (e.layer == layer && (kind == MaskRom || kind == Loader) && !e.devicePath.empty())
            return e;
    }
    return std::nullopt;
}

std::optional<std::string> corvUsbPathOn(const std::string& layer, std::string_view command,
                                         std::ostream& err) {
    const auto entry = corvUsbOn(layer);
    if (!entry) {
        err << command << ": no CorvUsb device on port " << layer << "\n";
        return std::nullopt;
    }
    return entry->devicePath;
}

int runFlashReport(const std::string& layer, bool json, std::ostream& out, std::ostream& err) {
    Report r;
    const auto path = corvUsbPathOn(layer, "cv50 flash", err);
    if (!path) return kExitFailed;
    r.devicePath = *path;
    flash::CFlashDevice device;
    device.SetDevice(*path);
    if (!device.GetFlashInfo(device.flashInfo)) {
        Log("ERROR: Get flash info failed");
        err << "cv50 flash: get flash info failed\n";
        return kExitFailed;
    }
    r.totalMB = device.PrintChipTable();
    if (!(device.flashInfo.chipMask & 1)) {
        Log("ERROR: Not found No1 flash chip");
        err << "cv50 flash: no flash chip 0\n";
        return kExitFailed;
    }
    if (!device.BuildFlashStateMap(0, device.flashInfo)) {
        err << "cv50 flash: testing the bad blocks failed\n";
        return kExitFailed;
    }
    const auto& map = device.flashInfo.blockMap;
    r.testedBlocks = std::min<std::uint32_t>(flash::kBadBlockChunk, device.flashInfo.blockCount);
    for (std::uint32_t b = 0; b < map.size(); ++b)
        if (map[b]) r.badBlocks.push_back(b);
    r.planned = device.MakeSysReservedBlockAddr(device.idbBlocks, device.reserved1First,
                                                device.reserved1Last, device.reserved2First,
                                                device.reserved2Last) == 1;
    if (json)
        printJson(device, r, out);
    else
        printText(device, r, out);
    return r.planned ? kExitOk : kExitFailed;
}

void addFlashCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<FlashOptions>();
    CLI::App* cmd = app.add_subcommand(
        "flash", "Show the flash of the loader on a port: chips, bad blocks, planned ID Blocks");
    addPortOption(*cmd, options->layer);
    cmd->add_flag("--json", options->json, "Print a JSON object");
    cmd->callback([options, &action] {
        action = [options] {
            return runFlashReport(options->layer, options->json, std::cout, std::cerr);
        };
    });
}

}  // namespace cv50::cli
