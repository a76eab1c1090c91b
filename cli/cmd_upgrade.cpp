// cv50 upgrade: the options turned into one road for the engine, its progress shown per
// port and its outcome as a table.
#include "cli/cmd_upgrade.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "base/host.h"
#include "cli/commands.h"
#include "cli/port_option.h"
#include "cli/terminal_prompt.h"
#include "cli/upgrade_view.h"
#include "engine/api/progress.h"
#include "engine/api/upgrade_road.h"
#include "engine/device/log.h"
#include "engine/flash/image_check.h"
#include "engine/os/os.h"

namespace cv50::cli {
namespace {

// The first number of "N[:N...]"; false when the text is not such a list.
bool configDiskFromPartition(const std::string& text, unsigned& mb) {
    mb = 0;
    if (text.empty()) return true;
    std::size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(':', start), text.size());
        const std::string number = text.substr(start, end - start);
        if (number.empty() || number.size() > 6 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            return false;
        if (first) mb = static_cast<unsigned>(std::stoul(number));
        first = false;
        start = end + 1;
    }
    return true;
}

}  // namespace

int runUpgrade(const UpgradeOptions& o, std::istream& in, std::ostream& out, std::ostream& err) {
    os::Os& sys = os::current();
    if (sys.pathKind(o.image) != os::PathKind::File) {
        err << "cv50 upgrade: no image file " << o.image << "\n";
        return kExitBadInput;
    }
    // A damaged image is refused before any player is touched.
    if (!o.skipImageCheck && !flash::checkImage(o.image)) {
        err << "cv50 upgrade: the image " << o.image
            << " is damaged: its check value does not match its content (--skip-image-check "
               "writes it anyway)\n";
        return kExitBadInput;
    }
    if (!o.demo.empty() && sys.pathKind(o.demo) == os::PathKind::Missing) {
        err << "cv50 upgrade: no demo folder " << o.demo << "\n";
        return kExitBadInput;
    }
    api::RoadOptions road;
    if (!configDiskFromPartition(o.partition, road.configDiskMB)) {
        err << "cv50 upgrade: --partition takes sizes in MB separated by ':', not \"" << o.partition
            << "\"\n";
        return kExitBadInput;
    }
    if (o.label.size() > 11) {
        err << "cv50 upgrade: a volume label has at most 11 characters\n";
        return kExitBadInput;
    }
    if (!o.logFolder.empty() && !log::setFolder(o.logFolder.c_str())) {
        err << "cv50 upgrade: cannot log into " << o.logFolder << " (is it a folder?)\n";
        return kExitBadInput;
    }
    road.image = o.image;
    road.ports = o.ports;
    road.label = o.label;
    road.idBlockMode = (o.repair || o.forceErase) ? 1 : 0;
    if (!o.demo.empty()) {
        road.end = api::RoadEnd::Copy;
        road.copySource = o.demo;
    } else if (o.format || o.repair) {
        road.end = api::RoadEnd::Format;
    }

    // With --json the table is the only thing on stdout.
    std::ostream& progressOut = o.json ? err : out;
    PortProgressView view(progressOut, o.liveProgress && !o.json, api::lastStepOf(road.end));
    flash::ScopedPromptAnswerer answerer(terminalAnswerer(o.yes, in, err));
    std::vector<api::RoadResult> results;
    {
        api::ScopedProgressSink sink([&](const api::Progress& p) { view.report(p); });
        results = api::RunUpgradeRoad(road);
    }
    if (o.liveProgress && !o.json) progressOut << "\n";
    if (results.empty()) {
        err << "cv50 upgrade: no player found\n";
        return kExitFailed;
    }
    if (o.json)
        printSummaryJson(out, results);
    else
        printSummary(out, results);
    return allSucceeded(results) ? kExitOk : kExitFailed;
}

void addUpgradeCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<UpgradeOptions>();
    CLI::App* c = app.add_subcommand(
        "upgrade",
        "Upgrade every attached player (or the named ports): ID Blocks, image, back "
        "as a disk; optionally format it and copy a demo folder");
    c->add_option("image", options->image, "Firmware image (.img)")->required();
    c->add_option("--port", options->ports, "Only the player on this port (repeatable)")
        ->check(layerProblem);
    CLI::Option* format = c->add_flag("--format", options->format, "Format the disk FAT32");
    c->add_option("--demo", options->demo, "Format the disk and copy this folder onto it")
        ->excludes(format);
    c->add_option("--label", options->label, "Volume label of the formatted disk");
    c->add_flag("--repair", options->repair,
                "Write the ID Blocks in forced mode and format, like the updater's Repair");
    c->add_option("--partition", options->partition,
                  "Disk sizes in MB, N[:N...]; the first is the configuration disk");
    c->add_flag("--force-erase", options->forceErase,
                "Write the ID Blocks in forced mode (the disks behind them are erased)");
    c->add_flag("--yes", options->yes, "Answer OK to every question");
    c->add_flag("--json", options->json, "Print the summary as JSON");
    c->add_option("--log", options->logFolder, "Write the engine's dated log into this folder");
    c->add_flag("--skip-image-check", options->skipImageCheck,
                "Write the image even when its check value does not match");
    c->callback([options, &action] {
        action = [options] {
            options->liveProgress = base::isTerminal(stdout);
            return runUpgrade(*options, std::cin, std::cout, std::cerr);
        };
    });
}

}  // namespace cv50::cli
