// cv50 image: pack a firmware image, or show what the engine reads from one.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>

#include "cli/commands.h"
#include "cli/numbers.h"
#include "engine/flash/image_check.h"
#include "engine/os/os.h"
#include "fwpkg/packer.h"

namespace cv50::cli {
namespace {

struct ImagePackOptions {
    std::string loader, folder, out, label = "CV50SYSTEM", tag = flash::kTailTag;
    std::string fat = "auto", systemVersion = "0", systemDisk = "0", configDisk = "0", crc;
};

std::uint32_t systemVersionWord(const std::string& text) {
    const std::size_t dot = text.find('.');
    if (dot == std::string::npos) return parseNumber(text, 0xFFFFFFFF, "--system-version");
    const std::uint32_t high = parseNumber(text.substr(0, dot), 0xFFFF, "--system-version HIGH");
    const std::uint32_t low = parseNumber(text.substr(dot + 1), 0xFFFF, "--system-version LOW");
    return high << 16 | low;
}

int runPack(const ImagePackOptions& o) {
    fwpkg::ImagePackInput input;
    input.loaderFile = o.loader;
    input.folder = o.folder;
    input.fat.label = o.label;
    if (o.fat != "auto") {
        input.fat.fatType = static_cast<int>(parseNumber(o.fat, 32, "--fat"));
        if (input.fat.fatType != 12 && input.fat.fatType != 16 && input.fat.fatType != 32)
            throw std::runtime_error("--fat: give 12, 16, 32 or auto");
    }
    input.tail.systemVersion = systemVersionWord(o.systemVersion);
    input.tail.systemDiskMB = parseNumber(o.systemDisk, 0xFFFFFFFF, "--system-disk");
    input.tail.configDiskMB = parseNumber(o.configDisk, 0xFFFFFFFF, "--config-disk");
    input.tag = o.tag;
    if (!o.crc.empty()) input.crc = parseNumber(o.crc, 0xFFFFFFFF, "--crc");
    const fwpkg::PackedImage packed = fwpkg::packImage(input, o.out);
    std::printf("%s: %llu bytes (file system %llu), check value %s\n", o.out.c_str(),
                static_cast<unsigned long long>(packed.totalBytes),
                static_cast<unsigned long long>(packed.fatBytes), packed.checkValue.c_str());
    return kExitOk;
}

const char* tailText(flash::TailCheck check) {
    switch (check) {
        case flash::TailCheck::SizesValid:
            return "valid";
        case flash::TailCheck::Refused:
            return "refused";
        case flash::TailCheck::NoSizeInfo:
            return "none";
        case flash::TailCheck::Unreadable:
            return "unreadable";
    }
    return "unreadable";
}

struct Version {
    std::uint16_t high = 0, low = 0;
};

std::string versionText(const std::optional<Version>& v) {
    if (!v) return "unknown";
    char text[16];
    std::snprintf(text, sizeof text, "%04x.%04x", v->high, v->low);
    return text;
}

nlohmann::json versionJson(const std::optional<Version>& v) {
    if (!v) return nullptr;
    return {{"high", v->high}, {"low", v->low}, {"text", versionText(v)}};
}

int runInfo(const std::string& image, bool json) {
    if (!os::UniqueFile(os::current().openFile(image, "rb")))
        throw std::runtime_error("cannot open " + image);
    const bool checkOk = flash::checkImage(image);
    std::optional<Version> loader, system;
    if (Version v; flash::loaderVersionOfImage(image, v.high, v.low)) loader = v;
    if (Version v; flash::systemVersionOfImage(image, v.high, v.low)) system = v;
    std::uint32_t systemDisk = 0, configDisk = 0;
    const int sizesResult = flash::diskSizesOfImage(image, systemDisk, configDisk);
    flash::TailFields fields;
    const flash::TailCheck tail = flash::checkImageTail(image, fields);
    std::uint32_t sizeMB = 0;
    const bool sized = flash::imageSizeMB(image, sizeMB);

    if (json) {
        nlohmann::json out = {{"image", image},
                              {"checkValueOk", checkOk},
                              {"loaderVersion", versionJson(loader)},
                              {"systemVersion", versionJson(system)},
                              {"tailBlock", tailText(tail)},
                              {"sizeMB", sized ? nlohmann::json(sizeMB) : nlohmann::json(nullptr)}};
        out["diskSizes"] = sizesResult == 0
                               ? nlohmann::json{{"systemMB", systemDisk}, {"configMB", configDisk}}
                               : nlohmann::json(nullptr);
        std::cout << out.dump(2) << "\n";
    } else {
        std::printf("image:          %s\n", image.c_str());
        std::printf("check value:    %s\n", checkOk ? "ok" : "wrong");
        std::printf("loader version: %s\n", versionText(loader).c_str());
        std::printf("system version: %s\n", versionText(system).c_str());
        if (sizesResult == 0)
            std::printf("disk sizes:     system %u MB, configuration %u MB\n", systemDisk,
                        configDisk);
        else
            std::printf("disk sizes:     none\n");
        std::printf("tail block:     %s\n",
                    tail == flash::TailCheck::SizesValid ? "valid"
                    : tail == flash::TailCheck::Refused ? "CRC wrong: an upgrade refuses this image"
                    : tail == flash::TailCheck::NoSizeInfo ? "no TOOLVER tag: no version or sizes"
                                                           : "unreadable");
        if (sized)
            std::printf("size:           %u MB\n", sizeMB);
        else
            std::printf("size:           unknown\n");
    }
    return checkOk && tail != flash::TailCheck::Refused && tail != flash::TailCheck::Unreadable
               ? kExitOk
               : kExitFailed;
}

}  // namespace

void addImageCommand(CLI::App& app, Action& action) {
    CLI::App* image = app.add_subcommand("image", "Build and inspect firmware images");
    image->require_subcommand(1);

    auto o = std::make_shared<ImagePackOptions>();
    CLI::App* pack = image->add_subcommand(
        "pack", "Build a firmware image: FAT system disk with CVBOOT.BIN, tail block, check value");
    pack->add_option("--loader", o->loader, "Loader file, stored as CVBOOT.BIN in the root")
        ->required();
    pack->add_option("--folder", o->folder, "Folder whose files go into the root as well");
    pack->add_option("-o,--out", o->out, "Image file to write")->required();
    pack->add_option("--fat", o->fat, "FAT type: 12, 16, 32 or auto")->capture_default_str();
    pack->add_option("--label", o->label, "Volume label (11 characters)")->capture_default_str();
    pack->add_option("--system-version", o->systemVersion,
                     "Tail: system version, HIGH.LOW (16 bits each) or one 32-bit number")
        ->capture_default_str();
    pack->add_option("--system-disk", o->systemDisk, "Tail: system-disk size in MB")
        ->capture_default_str();
    pack->add_option("--config-disk", o->configDisk, "Tail: configuration-disk size in MB")
        ->capture_default_str();
    pack->add_option("--tag", o->tag,
                     "Tail: tag (7 characters; another one makes an image "
                     "without version information)")
        ->capture_default_str();
    pack->add_option("--crc", o->crc, "Tail: CRC to store instead of the right one");
    pack->callback([o, &action] { action = [o] { return guarded([&] { return runPack(*o); }); }; });

    auto path = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    CLI::App* info = image->add_subcommand(
        "info", "Check an image and show its versions, disk sizes and size (exit 1: check failed)");
    info->add_option("IMAGE", *path, "Firmware image")->required();
    info->add_flag("--json", *json, "Print a JSON object");
    info->callback([path, json, &action] {
        action = [path, json] { return guarded([&] { return runInfo(*path, *json); }); };
    });

    addImageWriteCommand(*image, action);
}

}  // namespace cv50::cli
