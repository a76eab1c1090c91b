// cv50 list: the devices on USB ports, in walk order.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <vector>

#include "cli/commands.h"
#include "engine/device/port_walk.h"

namespace cv50::cli {
namespace {

struct ListOptions {
    bool json = false;
    bool all = false;
};

void printText(const std::vector<device::PortEntry>& entries) {
    for (const device::PortEntry& e : entries) {
        std::printf("%-19s %04x:%04x  bcdUSB %04x  %s\n", e.layer.c_str(), e.vid, e.pid, e.bcdUSB,
                    e.devicePath.empty() ? "(no device node)" : e.devicePath.c_str());
    }
}

void printJson(const std::vector<device::PortEntry>& entries) {
    nlohmann::json out = nlohmann::json::array();
    for (const device::PortEntry& e : entries) {
        out.push_back({{"layer", e.layer},
                       {"vid", e.vid},
                       {"pid", e.pid},
                       {"bcdUSB", e.bcdUSB},
                       {"devicePath", e.devicePath}});
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
            std::vector<device::PortEntry> entries;
            if (options->all)
                device::EnumerateUsbPortsAll(entries);
            else
                device::EnumerateUsbPorts(entries);
            if (options->json)
                printJson(entries);
            else
                printText(entries);
            return kExitOk;
        };
    });
}

}  // namespace cv50::cli
