// cv50 image write: a firmware image onto a loader's logical disk, read back and compared.
#include <iostream>
#include <memory>

#include "cli/cmd_flash.h"
#include "cli/commands.h"
#include "cli/port_option.h"
#include "cli/progress_bar.h"
#include "engine/device/search.h"
#include "engine/flash/image_download.h"
#include "engine/os/os.h"

namespace cv50::cli {
namespace {

struct ImageWriteOptions {
    std::string layer, image;
};

const char* failureText(int code) {
    switch (code) {
        case -1:
            return "the image cannot be opened";
        case -2:
        case -6:
            return "the image cannot be read from its start";
        case -3:
        case -7:
            return "the image is empty";
        case -4:
            return "the loader refused a write";
        case -5:
        case -10:
            return "the image does not end in whole sectors and a 32-byte check value";
        case -8:
            return "the loader refused a read";
        case -9:
            return "the data read back differ from the image";
        default:
            return "unknown failure";
    }
}

int runImageWrite(const ImageWriteOptions& o) {
    if (os::current().pathKind(o.image) != os::PathKind::File) {
        std::cerr << "cv50 image write: no image file " << o.image << "\n";
        return kExitBadInput;
    }
    const auto entry = corvUsbOn(o.layer);
    if (!entry) {
        if (diskOn(o.layer))
            std::cerr << "cv50 image write: the player on port " << o.layer
                      << " runs as a disk; switch it first (cv50 switch)\n";
        else
            std::cerr << "cv50 image write: no CorvUsb device on port " << o.layer << "\n";
        return kExitFailed;
    }
    if (device::classify(*entry) != Loader) {
        std::cerr << "cv50 image write: the player on port " << o.layer
                  << " runs its mask ROM; write its ID Block first (cv50 idb write)\n";
        return kExitFailed;
    }
    ProgressBar bar(std::cout);
    std::uint64_t checked = 0;
    const int result =
        flash::DownloadImage(entry->devicePath, o.image,
                             [&](flash::ImagePhase phase, std::uint64_t done, std::uint64_t total) {
                                 const bool writing = phase == flash::ImagePhase::Written;
                                 bar.update(writing ? "Written" : "Checked", done, total);
                                 if (!writing) checked = done;
                             });
    bar.finish();
    if (result != 0) {
        std::cerr << "cv50 image write: " << failureText(result) << " (" << result << ")\n";
        return kExitFailed;
    }
    std::cout << "Image written and checked: " << checked << " bytes on port " << o.layer << "\n";
    return kExitOk;
}

}  // namespace

void addImageWriteCommand(CLI::App& image, Action& action) {
    auto o = std::make_shared<ImageWriteOptions>();
    CLI::App* write = image.add_subcommand(
        "write", "Write a firmware image to a loader's disk, then read it back and compare");
    addPortOption(*write, o->layer);
    write->add_option("IMAGE", o->image, "Firmware image")->required();
    write->callback([o, &action] { action = [o] { return runImageWrite(*o); }; });
}

}  // namespace cv50::cli
