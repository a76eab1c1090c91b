// cv50 list: the devices on USB ports, in walk order, with the kind of each player.
#include <cstdio>
#include <iostream>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/device_kind.h"
#include "engine/device/port_walk.h"
#include "engine/device/search.h"

namespace cv50::cli {
namespace {

struct ListOptions {
    bool json = false;
    bool all = false;
};

struct Listed {
    device::PortEntry entry;
    std::optional<CV_DEVICE_TYPE> kind;
    char driveLetter = 0;
};

std::vector<Listed> listDevices(bool all) {
    std::vector<device::PortEntry> entries;
    if (all)
        device::EnumerateUsbPortsAll(entries);
    else
        device::EnumerateUsbPorts(entries);
    std::vector<Listed> out;
    for (const device::PortEntry& e : entries) {
        Listed l{e, device::classify(e), 0};
        if (l.kind == Msc) l.driveLetter = device::findDriveLetter(e.devicePath, e.devInst);
        out.push_back(l);
    }
    return out;
}

void printText(const std::vector<Listed>& devices) {
    for (const Listed& d : devices) {
        const device::PortEntry& e = d.entry;
        std::string kind = d.kind ? kindName(*d.kind) : "-";
        if (d.kind == Msc) kind += d.driveLetter ? std::string(" ") + d.driveLetter + ":" : " (no drive)";
        std::printf("%-19s %-16s %04x:%04x  bcdUSB %04x  %s\n", e.layer.c_str(), kind.c_str(), e.vid,
                    e.pid, e.bcdUSB, e.devicePath.empty() ? "(no device node)" : e.devicePath.c_str());
    }
}

void printJson(const std::vector<Listed>& devices) {
    nlohmann::json out = nlohmann::json::array();
    for (const Listed& d : devices) {
        const device::PortEntry& e = d.entry;
        out.push_back({{"layer", e.layer},
                       {"vid", e.vid},
                       {"pid", e.pid},
                       {"bcdUSB", e.bcdUSB},
                       {"devicePath", e.devicePath},
                       {"kind", d.kind ? nlohmann::json(kindName(*d.kind)) : nlohmann::json()},
                       {"driveLetter", d.driveLetter ? nlohmann::json(std::string(1, d.driveLetter))
                                                     : nlohmann::json()}});
    }
    std::cout << out.dump(2) << "\n";
}

}  // namespace

void addListCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* cmd = app.add_subcommand("list", "List the devices on USB ports, by port (Layer)");
    cmd->add_flag("--json", options->json, "Print a JSON array");
    cmd->add_flag("--all", options->all,
                  "Walk every host controller (finds devices on USB 1.1 ports too)");
    cmd->callback([options, &action] {
        action = [options] {
            const std::vector<Listed> devices = listDevices(options->all);
            if (options->json)
                printJson(devices);
            else
                printText(devices);
            return kExitOk;
        };
    });
}

}  // namespace cv50::cli
