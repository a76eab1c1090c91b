// cv50 idb write | erase.
#include "cli/cmd_idb.h"

#include <iostream>
#include <memory>

#include "cli/cmd_flash.h"
#include "cli/commands.h"
#include "cli/port_option.h"
#include "cli/terminal_prompt.h"
#include "engine/device/log.h"
#include "engine/device/search.h"
#include "engine/flash/device_steps.h"
#include "engine/flash/flash_device.h"
#include "engine/flash/loader_file.h"
#include "engine/flash/user_prompt.h"

namespace cv50::cli {
namespace {

constexpr std::uint32_t kBootSettleMs = 1000;
const flash::StepTexts kBootTexts{"INFO:Download Boot start", "ERROR: Download boot failed"};

// Whether the device already holds a copy: an update keeps its layout and disks.
bool hasIdBlock(const std::string& path) {
    flash::CFlashDevice probe;
    probe.SetDevice(path);
    return probe.GetFlashInfo(probe.flashInfo) && probe.BuildFlashStateMap(0, probe.flashInfo) &&
           probe.FindAllIDB() > 0;
}

}  // namespace

int runIdbWrite(const IdbWriteOptions& o, std::istream& in, std::ostream& out, std::ostream& err) {
    const auto entry = corvUsbOn(o.layer);
    if (!entry) {
        err << "cv50 idb write: no CorvUsb device on port " << o.layer << "\n";
        return kExitFailed;
    }
    const std::optional<std::string> path = entry->devicePath;
    flash::PiecePaths pieces;
    flash::BootHead head;
    if (!flash::unpackBoot(o.loaderFile, pieces, head)) {
        err << "cv50 idb write: cannot use the loader file " << o.loaderFile << "\n";
        return kExitBadInput;
    }
    // A blank player answers only its mask ROM: it needs the boot programs first.
    if (device::classify(*entry) == MaskRom &&
        !flash::DownloadBootStep(*path, pieces, flash::LogSteps(kBootTexts), kBootSettleMs)) {
        err << "cv50 idb write: the boot programs did not go through\n";
        return kExitFailed;
    }
    const bool fullWrite = !hasIdBlock(*path);
    flash::CFlashDevice device;
    device.SetDevice(*path);
    device.SetBootFiles(pieces.data, pieces.flashBoot);
    device.loaderWords = flash::idBlockWords(head);
    flash::ScopedPromptAnswerer answerer(terminalAnswerer(o.yes, in, err));
    const int result = device.WriteIDBlock(o.forceErase, fullWrite);
    if (result != 0) {
        err << "cv50 idb write: the ID Block was not written (" << result << ")\n";
        return kExitFailed;
    }
    out << (fullWrite ? "ID Block written" : "ID Block updated") << " at blocks";
    for (std::uint16_t b : device.idbBlocks) out << " " << b;
    out << "; reserved blocks " << device.reserved1First << "-" << device.reserved1Last << " and "
        << device.reserved2First << "-" << device.reserved2Last << "\n";
    return kExitOk;
}

int runIdbErase(const std::string& layer, std::ostream& out, std::ostream& err) {
    const auto path = corvUsbPathOn(layer, "cv50 idb erase", err);
    if (!path) return kExitFailed;
    flash::CFlashDevice device;
    device.SetDevice(*path);
    if (device.EraseIDBArea() != 1) {
        err << "cv50 idb erase: no ID Block was erased\n";
        return kExitFailed;
    }
    out << "ID Block area erased\n";
    return kExitOk;
}

void addIdbCommand(CLI::App& app, Action& action) {
    CLI::App* idb = app.add_subcommand("idb", "Write or erase the ID Block of a loader device");
    idb->require_subcommand(1);

    auto write = std::make_shared<IdbWriteOptions>();
    CLI::App* w = idb->add_subcommand(
        "write", "Write the ID Block from a loader file (in full on a blank device, else update)");
    addPortOption(*w, write->layer);
    w->add_option("--loader", write->loaderFile, "The loader file (CVBOOT.BIN)")->required();
    w->add_flag("--force-erase", write->forceErase,
                "Force-erase the flash (full write) or reformat the disks without asking (update)");
    w->add_flag("--yes", write->yes, "Answer OK to every question");
    w->callback([write, &action] {
        action = [write] { return runIdbWrite(*write, std::cin, std::cout, std::cerr); };
    });

    auto layer = std::make_shared<std::string>();
    CLI::App* e = idb->add_subcommand("erase", "Erase the ID Block copies and reserved blocks");
    addPortOption(*e, *layer);
    e->callback([layer, &action] {
        action = [layer] { return runIdbErase(*layer, std::cout, std::cerr); };
    });
}

}  // namespace cv50::cli
