// Benchmark: the whole road of an upgrade against simulated players starting in their mask
// ROM and ending as formatted disks.
//
// One player: the road cannot take less simulated time than its floor, the waits the engine
// asks for on the thread that runs the road plus the simulated time of the flash commands
// that thread sends. The image and format workers' own waits are left out: the road thread
// polls while they run, so counting them too would count that time twice. The ratio of the
// wall time (times the speed, in simulated ms) to the floor is what the engine adds on top:
// 1.00 is a road that only waits and transfers; the excess is computation (the engine's and
// the simulator's) and waits that overshoot, and it grows with the speed, since a real
// millisecond of computation is `speed` simulated ones.
//
// Sixteen players on a hub against one on the same hub: a road that takes the players through
// each step together stays near 1; one that took them in turn would approach 16.
//
// The same through cv50 upgrade, which runs on the production tool's per-port workers: the
// sixteen players' wall time against its floor, the larger of one player's wall time on the
// same workers and the time the bus needs for the sixteen players' image data (written and
// read back, at the simulated controller's shared rate). 1.00 is a batch that only waits for
// what one player needs or for the bus. That floor is low for a batch whose stages are gated:
// so also against the batch's own floor, one player's wall time with the boot downloads of
// the fifteen others added (they run one at a time) and the image stage stretched to the
// bus's time for sixteen, when that is longer than one player's image stage.
//
//   upgrade_bench [SPEED]     (default: 20)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "apps/batch/core/texts.h"
#include "cli/cmd_upgrade.h"
#include "engine/device/log.h"
#include "engine/api/upgrade_road.h"
#include "engine/os/os.h"
#include "fwpkg/packer.h"
#include "sim/bus_share.h"
#include "sim/loader_endpoint.h"
#include "sim/scenario.h"
#include "sim/sim_os.h"
#include "sim/testing/forwarding_os.h"
#include "sim/testing/scoped_sim.h"

namespace {

using namespace cv50;
using sim::testing::Json;

// The simulator, with the sleeps each thread asks for summed per thread.
class SleepCountingOs : public sim::testing::ForwardingOs {
public:
    using ForwardingOs::ForwardingOs;

    void sleepMs(std::uint32_t ms) override {
        {
            std::lock_guard lock(mutex_);
            slept_[std::this_thread::get_id()] += ms;
        }
        ForwardingOs::sleepMs(ms);
    }

    std::uint64_t sleptOnThisThreadMs() {
        std::lock_guard lock(mutex_);
        return slept_[std::this_thread::get_id()];
    }

private:
    std::mutex mutex_;
    std::map<std::thread::id, std::uint64_t> slept_;
};

// A simulated world installed as the process's backend for one scope.
class World {
public:
    World(const std::vector<Json>& ports, double speed, const std::string& tempFolder) {
        const auto scenario = sim::testing::ScenarioBuilder().speed(speed).controller(ports);
        auto sim =
            std::make_unique<sim::SimOs>(sim::parseScenario(scenario.text(), "upgrade_bench"));
        sim->setTempFolder(tempFolder + "\\");
        auto counting = std::make_unique<SleepCountingOs>(std::move(sim));
        os_ = counting.get();
        previous_ = os::install(std::move(counting));
    }
    ~World() { os::install(std::move(previous_)); }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    SleepCountingOs& os() { return *os_; }

private:
    SleepCountingOs* os_ = nullptr;
    std::unique_ptr<os::Os> previous_;
};

std::vector<Json> maskRomPlayers(int count) {
    return std::vector<Json>(static_cast<std::size_t>(count),
                             sim::testing::Player(sim::testing::Mode::MaskRom));
}

std::vector<Json> onHub(const std::vector<Json>& ports) { return {sim::testing::hub(ports)}; }

// An image of the sample loader and a 2 MiB file.
std::string packImage(const std::filesystem::path& folder) {
    const auto pieces = folder / "pieces";
    std::filesystem::create_directories(pieces);
    fwpkg::writeSamplePieces(pieces);
    fwpkg::LoaderPackInput loader;
    loader.data = pieces / "data.bin";
    loader.prog = pieces / "prog.bin";
    loader.prog2nd = pieces / "prog2nd.bin";
    loader.flashBoot = pieces / "FlashBoot.bin";
    loader.dates = {2008, 12, 20};
    loader.versionHigh = 1;
    loader.versionLow = 23;
    const auto loaderFile = folder / "CVBOOT.BIN";
    fwpkg::packLoader(loader, loaderFile);

    const auto content = folder / "content";
    sim::testing::writeFile(content / "big.bin", sim::testing::patternBytes(2 << 20, 0));
    fwpkg::ImagePackInput input;
    input.loaderFile = loaderFile;
    input.folder = content;
    input.tail = flash::TailFields{0x00010002, 64, 16};
    const auto image = folder / "fw.img";
    fwpkg::packImage(input, image);
    return image.string();
}

struct RoadRun {
    double wallSeconds = 0;
    std::uint64_t sleptMs = 0;     // asked for on this thread
    std::uint64_t transferMs = 0;  // settled by the loaders for this thread's commands
};

// Runs the road to a formatted disk on every player of `ports`; exits when a port fails.
RoadRun runRoad(const std::vector<Json>& ports, int players, double speed, const std::string& image,
                const std::string& temp) {
    World world(ports, speed, temp);
    api::RoadOptions options;
    options.image = image;
    options.end = api::RoadEnd::Format;
    const std::uint64_t sleptBefore = world.os().sleptOnThisThreadMs();
    const std::uint64_t settledBefore = sim::loaderTimeSettledOnThisThreadMs();
    const auto start = std::chrono::steady_clock::now();
    const auto results = api::RunUpgradeRoad(options);
    RoadRun run;
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.sleptMs = world.os().sleptOnThisThreadMs() - sleptBefore;
    run.transferMs = sim::loaderTimeSettledOnThisThreadMs() - settledBefore;

    bool ok = results.size() == static_cast<std::size_t>(players);
    for (const auto& r : results) {
        if (r.ok) continue;
        std::fprintf(stderr, "upgrade_bench: port %s: %s\n", r.layer.c_str(), r.message.c_str());
        ok = false;
    }
    if (!ok) {
        std::fprintf(stderr, "upgrade_bench: %zu of %d players upgraded\n", results.size(),
                     players);
        std::exit(1);
    }
    return run;
}

// What one player's stages took, in simulated ms, heard from the production tool's log lines
// while it lives.
class StageTimes {
public:
    StageTimes() {
        previous_ = log::SetLineListener([this](const std::string& line) { hear(line); });
    }
    ~StageTimes() { log::SetLineListener(std::move(previous_)); }
    StageTimes(const StageTimes&) = delete;
    StageTimes& operator=(const StageTimes&) = delete;

    std::uint64_t bootMs() {
        std::lock_guard lock(mutex_);
        return bootDoneMs_ > bootStartMs_ ? bootDoneMs_ - bootStartMs_ : 0;
    }
    std::uint64_t imageMs() {
        std::lock_guard lock(mutex_);
        return imageMs_;
    }

private:
    // A line's text after its "<Layer:%s> ", up to its first other conversion.
    static std::string tail(const char* format) {
        std::string text = std::strstr(format, "> ") + 2;
        return text.substr(0, text.find('%'));
    }
    void hear(const std::string& line) {
        static const std::string bootStart = tail(batch::text::kBootStart);
        static const std::string bootDone = tail(batch::text::kBootDone);
        static const std::string imageDone = tail(batch::text::kImageDone);
        std::lock_guard lock(mutex_);
        if (line.find(bootStart) != std::string::npos) bootStartMs_ = os::current().tickMs();
        if (line.find(bootDone) != std::string::npos) bootDoneMs_ = os::current().tickMs();
        if (const auto at = line.find(imageDone); at != std::string::npos)
            imageMs_ = std::strtoull(line.c_str() + at + imageDone.size(), nullptr, 10);
    }

    std::mutex mutex_;
    std::uint64_t bootStartMs_ = 0, bootDoneMs_ = 0, imageMs_ = 0;
    log::LineListener previous_;
};

struct StationRound {
    double wallSeconds = 0;
    std::uint64_t bootMs = 0, imageMs = 0;  // of the last player to log them
};

// cv50 upgrade --repair (ID Blocks in forced mode, a formatted disk) on every player of
// `ports`, on the station's workers, `rounds` times in the same world: from the second round on
// the players start as the disks the round before left. The wall seconds of each round. Exits
// when one fails.
std::vector<StationRound> runStation(const std::vector<Json>& ports, double speed,
                                     const std::string& image, const std::string& temp,
                                     int rounds) {
    World world(ports, speed, temp);
    cli::UpgradeOptions options;
    options.image = image;
    options.repair = true;
    options.yes = true;
    std::vector<StationRound> done;
    for (int round = 0; round < rounds; ++round) {
        std::istringstream in;
        std::ostringstream out, err;
        StageTimes stages;
        const auto start = std::chrono::steady_clock::now();
        const int status = cli::runUpgrade(options, in, out, err);
        done.push_back({std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                            .count(),
                        stages.bootMs(), stages.imageMs()});
        if (status != 0) {
            std::fprintf(stderr, "upgrade_bench: cv50 upgrade ended with %d\n%s%s", status,
                         out.str().c_str(), err.str().c_str());
            std::exit(1);
        }
    }
    return done;
}

}  // namespace

int main(int argc, char** argv) {
    const double speed = argc > 1 ? std::strtod(argv[1], nullptr) : 20;
    if (!(speed > 0 && speed <= 1000)) {
        std::fprintf(stderr, "upgrade_bench: the speed is a number above 0 and at most 1000\n");
        return 2;
    }
    sim::testing::TempFolder files;
    sim::testing::TempFolder temp;
    const std::string image = packImage(files.path());

    const RoadRun one = runRoad(maskRomPlayers(1), 1, speed, image, temp.path());
    const double simulatedMs = one.wallSeconds * 1000 * speed;
    const auto floorMs = static_cast<double>(one.sleptMs + one.transferMs);
    std::printf("one player, mask ROM to a formatted disk, speed %g\n", speed);
    std::printf("  wall time x speed  %10.0f simulated ms (%.2f s wall)\n", simulatedMs,
                one.wallSeconds);
    std::printf("  floor              %10.0f simulated ms (waits %llu + transfers %llu)\n", floorMs,
                static_cast<unsigned long long>(one.sleptMs),
                static_cast<unsigned long long>(one.transferMs));
    std::printf("  ratio              %10.3f\n", simulatedMs / floorMs);

    const RoadRun single = runRoad(onHub(maskRomPlayers(1)), 1, speed, image, temp.path());
    const RoadRun sixteen = runRoad(onHub(maskRomPlayers(16)), 16, speed, image, temp.path());
    std::printf("sixteen players against one, on a hub, speed %g\n", speed);
    std::printf("  %-10s %10s %18s %22s\n", "players", "wall s", "road waits ms",
                "road transfers ms");
    for (const auto& [count, run] : {std::pair{1, single}, std::pair{16, sixteen}})
        std::printf("  %-10d %10.2f %18llu %22llu\n", count, run.wallSeconds,
                    static_cast<unsigned long long>(run.sleptMs),
                    static_cast<unsigned long long>(run.transferMs));
    std::printf("  ratio      %10.3f\n", sixteen.wallSeconds / single.wallSeconds);

    // Each player's image crosses the bus twice: written, then read back by the check.
    const double busSeconds = 16.0 * 2 * static_cast<double>(std::filesystem::file_size(image)) /
                              sim::kUsb20SharedBytesPerSecond / speed;
    std::printf("sixteen players on the station's workers (cv50 upgrade --repair), speed %g\n",
                speed);
    // The second round starts from disks: no boot download, so nothing runs one at a time.
    const auto alone = runStation(onHub(maskRomPlayers(1)), speed, image, temp.path(), 2);
    const auto all = runStation(onHub(maskRomPlayers(16)), speed, image, temp.path(), 2);
    const auto toWall = [&](std::uint64_t simulatedMs) {
        return static_cast<double>(simulatedMs) / 1000 / speed;
    };
    // The batch's floor of a round: see the head of this file.
    const auto gatedFloor = [&](const StationRound& one) {
        return one.wallSeconds + 15 * toWall(one.bootMs) +
               std::max(0.0, busSeconds - toWall(one.imageMs));
    };
    const auto row = [](const char* name, double maskRom, double disks, const char* format) {
        std::printf("  %-34s ", name);
        std::printf(format, maskRom);
        std::printf(" ");
        std::printf(format, disks);
        std::printf("\n");
    };
    std::printf("  %-34s %10s %10s\n", "", "mask ROM", "disks");
    row("one player, s wall", alone[0].wallSeconds, alone[1].wallSeconds, "%10.2f");
    row("  its boot download, s wall", toWall(alone[0].bootMs), toWall(alone[1].bootMs), "%10.2f");
    row("  its image stage, s wall", toWall(alone[0].imageMs), toWall(alone[1].imageMs), "%10.2f");
    row("the bus for sixteen, s wall", busSeconds, busSeconds, "%10.2f");
    row("sixteen players, s wall", all[0].wallSeconds, all[1].wallSeconds, "%10.2f");
    row("ratio to one player or the bus",
        all[0].wallSeconds / std::max(alone[0].wallSeconds, busSeconds),
        all[1].wallSeconds / std::max(alone[1].wallSeconds, busSeconds), "%10.3f");
    row("the batch's floor, s wall", gatedFloor(alone[0]), gatedFloor(alone[1]), "%10.2f");
    row("ratio to the batch's floor", all[0].wallSeconds / gatedFloor(alone[0]),
        all[1].wallSeconds / gatedFloor(alone[1]), "%10.3f");
    std::printf(
        "  (target at most 1.10. The batch's floor: one player, plus the fifteen other boot\n"
        "  downloads, which run one at a time by design, plus what the bus adds to the image\n"
        "  stage, which every player ends before the next stage begins.)\n");
    std::printf("  against the library's staged road, sixteen players from the mask ROM: %.3f\n",
                all[0].wallSeconds / sixteen.wallSeconds);
    return 0;
}
