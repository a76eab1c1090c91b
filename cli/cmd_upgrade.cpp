// cv50 upgrade: the options turned into a batch of the production tool's station, its
// progress shown per port and its outcome as a table (and a report).
#include "cli/cmd_upgrade.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "base/host.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/port_option.h"
#include "cli/serial_numbers.h"
#include "cli/station_upgrade.h"
#include "cli/terminal_prompt.h"
#include "cli/upgrade_report.h"
#include "cli/upgrade_view.h"
#include "engine/api/progress.h"
#include "engine/api/upgrade_road.h"
#include "engine/device/log.h"
#include "engine/flash/boot_head.h"
#include "engine/flash/image_check.h"
#include "engine/flash/loader_file.h"
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

// The boot pieces a batch downloads, unpacked from the image's loader into the temp folder;
// they go when the run ends.
class BootPieces {
public:
    ~BootPieces() {
        os::Os& sys = os::current();
        for (const std::string* file :
             {&loader, &pieces.data, &pieces.prog, &pieces.prog2nd, &pieces.flashBoot})
            if (!file->empty()) sys.deleteFile(*file);
    }
    std::string loader;
    flash::PiecePaths pieces;
    flash::BootHead head;
};

// The batch of the image: its boot, sizes and ID Block words, as the library's own upgrade
// takes them. Empty when the image cannot be used, with the reason in `problem`.
bool batchFromImage(const std::string& image, unsigned configDiskMB, BootPieces& boot,
                    batch::BatchOptions& batch, std::string& problem) {
    boot.loader = flash::bootTempFolder() + flash::kLoaderFileName;
    if (!flash::extractLoaderFile(image, boot.loader)) {
        problem = "the loader could not be taken out of the image";
        return false;
    }
    if (!flash::unpackBoot(boot.loader, boot.pieces, boot.head)) {
        problem = "the image's loader could not be unpacked";
        return false;
    }
    flash::TailFields tail;
    const flash::TailCheck check = flash::checkImageTail(image, tail);
    if (check == flash::TailCheck::Unreadable || !flash::imageSizeMB(image, batch.imageSizeMB)) {
        problem = "the image could not be read";
        return false;
    }
    if (check == flash::TailCheck::Refused) {
        problem = "the image's version record does not match its check value";
        return false;
    }
    batch.trailerPresent = check == flash::TailCheck::SizesValid;
    batch.systemDiskMB = batch.trailerPresent ? tail.systemDiskMB : batch.imageSizeMB;
    if (batch.trailerPresent) configDiskMB = std::max(configDiskMB, tail.configDiskMB);
    batch.partition = std::to_string(configDiskMB);
    batch.boot = boot.pieces;
    batch.imagePath = image;
    batch.loaderWords = flash::idBlockWords(boot.head);
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
    unsigned configDiskMB = 0;
    if (!configDiskFromPartition(o.partition, configDiskMB)) {
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
    if (!o.serial.empty() && o.report.empty()) {
        err << "cv50 upgrade: --serial needs --report: the next free serial number is kept "
               "beside the report\n";
        return kExitBadInput;
    }
    std::string problem;
    std::unique_ptr<UpgradeReport> report;
    if (!o.report.empty() && !(report = UpgradeReport::open(o.report, problem))) {
        err << "cv50 upgrade: " << problem << "\n";
        return kExitBadInput;
    }
    std::unique_ptr<SerialNumbers> serials;
    if (!o.serial.empty() &&
        !(serials = SerialNumbers::open(o.serial, serialStatePath(o.report), problem))) {
        err << "cv50 upgrade: " << problem << "\n";
        return kExitBadInput;
    }

    StationRun run;
    BootPieces boot;
    if (!batchFromImage(o.image, configDiskMB, boot, run.batch, problem)) {
        err << "cv50 upgrade: " << problem << "\n";
        return kExitFailed;
    }
    run.ports = o.ports;
    run.batch.forceErase = o.repair || o.forceErase;
    // The road always ends with the player back as a disk.
    run.batch.demo = true;
    run.batch.formatDisk = o.format || o.repair || !o.demo.empty();
    run.batch.demoFolder = o.demo;
    run.batch.volumeLabel = o.label;
    run.wait = o.wait;
    run.interrupt = o.interrupt;
    run.report = report.get();
    run.serials = serials.get();
    const api::RoadEnd end = !o.demo.empty()          ? api::RoadEnd::Copy
                             : (o.format || o.repair) ? api::RoadEnd::Format
                                                      : api::RoadEnd::Disk;

    // With --json the table is the only thing on stdout.
    std::ostream& progressOut = o.json ? err : out;
    if (o.wait)
        progressOut << "cv50 upgrade: waiting for players; Ctrl-C ends once the running ones "
                       "are done\n"
                    << std::flush;
    PortProgressView view(progressOut, o.liveProgress && !o.json, api::lastStepOf(end));
    flash::ScopedPromptAnswerer answerer(terminalAnswerer(o.yes, in, err));
    const StationOutcome outcome = runOnStation(run, view);
    const std::vector<api::RoadResult>& results = outcome.results;
    if (o.liveProgress && !o.json) progressOut << "\n";
    for (const std::string& port : outcome.unreported)
        err << "cv50 upgrade: the row of port " << port << " could not be written to " << o.report
            << "\n";
    if (results.empty() && !o.wait) {
        err << "cv50 upgrade: no player found\n";
        return kExitFailed;
    }
    if (o.json)
        printSummaryJson(out, results);
    else
        printSummary(out, results);
    // A row the report lost is a failure of the run, whatever the player did.
    if (!outcome.unreported.empty()) return kExitFailed;
    if (o.wait && results.empty()) return kExitOk;
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
    c->add_option("--report", options->report,
                  "Add a row per player to this file as it ends (CSV, or JSON for *.json)");
    c->add_option("--serial", options->serial,
                  "Write a serial number into each player's ID Block: the next of a pattern "
                  "such as SN2026-{0001}, or the next line of @FILE; needs --report");
    c->add_flag("--wait", options->wait,
                "Station mode: upgrade each player as it is plugged in, until Ctrl-C");
    c->callback([options, &action] {
        action = [options] {
            options->liveProgress = base::isTerminal(stdout);
            if (options->wait) {
                catchInterrupt();
                options->interrupt = &interruptFlag();
            }
            return runUpgrade(*options, std::cin, std::cout, std::cerr);
        };
    });
}

}  // namespace cv50::cli
