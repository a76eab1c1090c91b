// cv50 loader: build a loader file "CVBOOT.BIN" from its four pieces, or write sample pieces.
#include <cstdio>
#include <iostream>
#include <stdexcept>

#include "cli/commands.h"
#include "cli/numbers.h"
#include "fwpkg/packer.h"

namespace cv50::cli {
namespace {

struct LoaderPackOptions {
    std::string pieces, data, prog, prog2nd, flashBoot;
    std::string version = "1.0";
    std::string date = "2008-12-20";
    std::string out = "CVBOOT.BIN";
};

int runPack(const LoaderPackOptions& o) {
    fwpkg::LoaderPackInput input;
    const auto pick = [&o](const std::string& given, const char* name) {
        if (!given.empty()) return std::filesystem::path(given);
        if (o.pieces.empty())
            throw std::runtime_error(std::string("no file for ") + name +
                                     ": give --pieces or its own option");
        return std::filesystem::path(o.pieces) / name;
    };
    input.data = pick(o.data, "data.bin");
    input.prog = pick(o.prog, "prog.bin");
    input.prog2nd = pick(o.prog2nd, "prog2nd.bin");
    input.flashBoot = pick(o.flashBoot, "FlashBoot.bin");
    const auto version = splitNumbers(o.version, '.', 2, 9999, "--version");
    input.versionHigh = version[0];
    input.versionLow = version[1];
    const auto date = splitNumbers(o.date, '-', 3, 9999, "--date");
    for (int i = 0; i < 3; ++i) input.dates[i] = static_cast<std::uint16_t>(date[i]);
    const std::uint64_t size = fwpkg::packLoader(input, o.out);
    std::printf("%s: loader file, %llu bytes, version %s, date %s\n", o.out.c_str(),
                static_cast<unsigned long long>(size), o.version.c_str(), o.date.c_str());
    return kExitOk;
}

}  // namespace

void addLoaderCommand(CLI::App& app, Action& action) {
    CLI::App* loader = app.add_subcommand("loader", "Build loader files (CVBOOT.BIN)");
    loader->require_subcommand(1);

    auto o = std::make_shared<LoaderPackOptions>();
    CLI::App* pack = loader->add_subcommand("pack", "Build a loader file from its four pieces");
    pack->add_option("--pieces", o->pieces,
                     "Folder holding data.bin, prog.bin, prog2nd.bin and FlashBoot.bin");
    pack->add_option("--data", o->data, "data.bin (instead of the one in --pieces)");
    pack->add_option("--prog", o->prog, "prog.bin");
    pack->add_option("--prog2nd", o->prog2nd, "prog2nd.bin");
    pack->add_option("--flashboot", o->flashBoot, "FlashBoot.bin");
    pack->add_option("--version", o->version, "Loader version HIGH.LOW, each 0-9999")
        ->capture_default_str();
    pack->add_option("--date", o->date, "Date YEAR-MONTH-DAY, each 0-9999")->capture_default_str();
    pack->add_option("-o,--out", o->out, "Loader file to write")->capture_default_str();
    pack->callback([o, &action] { action = [o] { return guarded([&] { return runPack(*o); }); }; });

    auto folder = std::make_shared<std::string>();
    CLI::App* sample = loader->add_subcommand(
        "sample", "Write made-up pieces (data.bin, prog.bin, prog2nd.bin, FlashBoot.bin)");
    sample->add_option("FOLDER", *folder, "Folder to write them into")->required();
    sample->callback([folder, &action] {
        action = [folder] {
            return guarded([&] {
                fwpkg::writeSamplePieces(*folder);
                std::printf("sample pieces written to %s\n", folder->c_str());
                return kExitOk;
            });
        };
    });
}

}  // namespace cv50::cli
