// libFuzzer target: any bytes as a loader file "CVBOOT.BIN". Its head is decoded, and the
// file is unpacked into the temporary folder as an upgrade does: either the unpack fails, or
// every piece file holds exactly the bytes its extent names, none past the file's end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/host.h"
#include "engine/flash/boot_head.h"
#include "engine/flash/loader_file.h"
#include "engine/os/os.h"
#include "sim/fuzz/process_folder.h"
#include "sim/scenario.h"
#include "sim/sim_os.h"

using namespace cv50;

namespace {

// The simulated system's temporary folder, one per process.
const std::string& folder() {
    static const fuzz::ProcessFolder dir("boot");
    static const std::string path = [] {
        auto sim = std::make_unique<sim::SimOs>(
            sim::parseScenario(R"({"controllers": []})", "fuzz scenario"));
        sim->setTempFolder(dir.path() + "/");
        (void)os::install(std::move(sim));
        return dir.path() + "/";
    }();
    return path;
}

std::vector<std::uint8_t> contents(const std::string& enginePath) {
    std::ifstream in(base::hostPath(enginePath), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const flash::BootHead head = flash::bootHeadFromBytes(bytes);
    for (int i = 0; i < 3; ++i) (void)(head.date(i) + head.releaseTime(i));
    (void)head.mergeVersion();
    (void)flash::loaderVersion(head);
    (void)flash::idBlockWords(head);

    const std::string loader = folder() + "CVBOOT.BIN";
    if (std::FILE* f = std::fopen(loader.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    flash::PiecePaths paths;
    flash::BootHead unpacked;
    if (!flash::unpackBoot(loader, paths, unpacked)) return 0;
    if (!head.signatureValid() || unpacked.bytes != head.bytes) __builtin_trap();
    for (flash::Piece piece : flash::kHeadPieceOrder) {
        const flash::PieceExtent e = head.extent(piece);
        if (e.size > flash::kMaxPieceSize || std::uint64_t{e.offset} + e.size > size)
            __builtin_trap();
        const std::vector<std::uint8_t> written = contents(paths.of(piece));
        if (!std::equal(written.begin(), written.end(), data + e.offset,
                        data + e.offset + e.size) ||
            written.size() != e.size)
            __builtin_trap();
    }
    return 0;
}
