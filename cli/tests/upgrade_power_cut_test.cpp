// Power failing at flash steps all along one cv50 upgrade of a blank player, from its mask
// ROM to a disk with a demo folder: wherever the cut lands, the upgrade fails or, having
// tried the step again, leaves a working disk; the player comes back in a mode cv50 upgrade
// --repair starts from, and the repair leaves a working disk with the image and the folder's
// files.
//
// Each road step that writes the flash is cut at its first, a middle and its last step, and
// the whole road at a stride; CV50_POWER_CUT_STRIDE=1 cuts at every step instead.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

#include "cli/cmd_upgrade.h"
#include "cli/commands.h"
#include "cli/tests/player_checks.h"
#include "cvusbcomm/wire.h"
#include "engine/device/log.h"
#include "fwpkg/packer.h"
#include "sim/testing/forwarding_os.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::cli {
namespace {

using sim::testing::Faults;
using sim::testing::Mode;
using sim::testing::Nand;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;
using sim::testing::patternBytes;

constexpr std::uint32_t kSystemVersion = 0x00010002;
// 64 MiB of 32 KiB blocks: a user disk just large enough for FAT32, and every rewrite of a
// FAT sector a small block to erase and program again.
const Nand kNand = Nand().chipSectors(131072).blockSectors(64);

// The road steps that write the flash.
enum class RoadStep { IdBlock, Image, Format, Copy };

const char* nameOf(RoadStep s) {
    switch (s) {
        case RoadStep::IdBlock:
            return "write ID Block";
        case RoadStep::Image:
            return "write image";
        case RoadStep::Format:
            return "format";
        case RoadStep::Copy:
            return "copy";
    }
    return "?";
}

// The simulator, with every flash step of the first player put down to the road step that
// took it, told by what the engine asked for meanwhile: the loader's erases and raw writes
// are the ID Block's, its logical writes the image's; in disk mode the volume's writes are
// the format's, or the copy's while the shell copies.
class StepRecorder : public sim::testing::ForwardingOs {
public:
    explicit StepRecorder(std::unique_ptr<sim::SimOs> sim) : ForwardingOs(std::move(sim)) {
        this->sim().setVolumeProvider([this](char letter) -> std::unique_ptr<fwpkg::SectorDevice> {
            auto disk = this->sim().userDiskDevice(letter);
            if (!disk) return nullptr;
            return std::make_unique<RecordedDisk>(*this, std::move(disk));
        });
    }
    sim::SimOs& sim() { return static_cast<sim::SimOs&>(inner()); }
    // The road step of each flash step, by step number (from 1).
    const std::map<std::uint64_t, RoadStep>& steps() const { return steps_; }

    long long writeHandle(os::Handle h, const void* data, std::size_t size,
                          std::uint32_t timeoutMs) override {
        if (size >= cvusb::kCommandSize)
            if (const auto c = cvusb::decodeCommand(
                    std::span(static_cast<const std::uint8_t*>(data), cvusb::kCommandSize)))
                loaderStep_ = c->opcode == cvusb::Opcode::WriteLBA ? RoadStep::Image
                                                                   : RoadStep::IdBlock;
        return recorded(loaderStep_,
                        [&] { return ForwardingOs::writeHandle(h, data, size, timeoutMs); });
    }
    int shellCopy(const std::string& pattern, const std::string& destination,
                  bool& aborted) override {
        copying_ = true;
        const int result = ForwardingOs::shellCopy(pattern, destination, aborted);
        copying_ = false;
        return result;
    }
    bool copyFile(const std::string& source, const std::string& destination) override {
        copying_ = true;
        const bool result = ForwardingOs::copyFile(source, destination);
        copying_ = false;
        return result;
    }

private:
    class RecordedDisk final : public fwpkg::SectorDevice {
    public:
        RecordedDisk(StepRecorder& owner, std::unique_ptr<fwpkg::SectorDevice> disk)
            : owner_(owner), disk_(std::move(disk)) {}
        std::uint64_t sectorCount() const override { return disk_->sectorCount(); }
        bool read(std::uint64_t first, std::span<std::uint8_t> out) override {
            return disk_->read(first, out);
        }
        bool write(std::uint64_t first, std::span<const std::uint8_t> in) override {
            const RoadStep step = owner_.copying_ ? RoadStep::Copy : RoadStep::Format;
            return owner_.recorded(step, [&] { return disk_->write(first, in); });
        }

    private:
        StepRecorder& owner_;
        std::unique_ptr<fwpkg::SectorDevice> disk_;
    };

    std::uint64_t flashSteps() {
        return sim().withWorld([](sim::UsbWorld& w) { return w.players()[0]->media->nand.steps(); });
    }
    template <typename Call>
    auto recorded(RoadStep step, Call call) -> decltype(call()) {
        const std::uint64_t before = flashSteps();
        auto result = call();
        const std::uint64_t after = flashSteps();
        std::lock_guard lock(mutex_);
        for (std::uint64_t k = before + 1; k <= after; ++k) steps_.emplace(k, step);
        return result;
    }

    std::mutex mutex_;
    std::map<std::uint64_t, RoadStep> steps_;
    std::atomic<RoadStep> loaderStep_ = RoadStep::IdBlock;
    std::atomic<bool> copying_ = false;
};

// A backend installed for one scope.
class Installed {
public:
    explicit Installed(std::unique_ptr<os::Os> backend) : previous_(os::install(std::move(backend))) {}
    ~Installed() { os::install(std::move(previous_)); }

private:
    std::unique_ptr<os::Os> previous_;
};

class UpgradePowerCut : public ::testing::Test {
protected:
    void SetUp() override {
        log::disable();
        const std::string loader = folder.file("CVBOOT.BIN");
        sim::testing::writeFile(loader, fwpkg::sampleLoaderFile());
        fwpkg::ImagePackInput input;
        input.loaderFile = loader;
        input.tail = {kSystemVersion, 4, 8};
        image = folder.file("fw.img");
        fwpkg::packImage(input, image);
        demo = folder.makeFolder("demo");
        sim::testing::writeFile(demo + "/Music/track01.mp3", track);
        sim::testing::writeTextFile(demo + "/readme.txt", "demo\n");
    }

    std::unique_ptr<sim::SimOs> world(std::uint64_t cutAtStep) const {
        Faults faults;
        if (cutAtStep) faults.powerCutAt(static_cast<std::uint32_t>(cutAtStep));
        auto sim = std::make_unique<sim::SimOs>(sim::parseScenario(
            ScenarioBuilder()
                .speed(100)
                .port(Player(Mode::MaskRom)
                          .enumerateDelay(0.3)
                          .mountDelay(0.3)
                          .nand(kNand)
                          .faults(faults))
                .text(),
            "power cut"));
        sim->setTempFolder(folder.path() + "\\");
        return sim;
    }

    int upgrade(bool repair, std::string& shown) const {
        UpgradeOptions o;
        o.image = image;
        o.demo = demo;
        o.repair = repair;
        o.yes = true;
        std::istringstream noAnswers;
        std::ostringstream out, err;
        const int status = runUpgrade(o, noAnswers, out, err);
        shown = out.str() + err.str();
        return status;
    }

    // The player is a disk running the image, with the demo folder's files on its volume.
    void expectWorkingDisk(sim::SimOs& sim, const std::string& where) const {
        EXPECT_EQ(testing::modeName(sim), "disk") << where;
        EXPECT_EQ(testing::runningSystemVersion(sim), kSystemVersion) << where;
        EXPECT_EQ(testing::userVolumeFile(sim, "Music/track01.mp3"), track) << where;
        const auto readme = testing::userVolumeFile(sim, "readme.txt");
        EXPECT_EQ(readme, (std::vector<std::uint8_t>{'d', 'e', 'm', 'o', '\n'})) << where;
    }

    sim::testing::TempFolder folder;
    std::string image, demo;
    const std::vector<std::uint8_t> track = patternBytes(70000, 3);
};

// The steps to cut: the first, a middle and the last of each road step, and every
// `stride`-th of the whole road.
std::set<std::uint64_t> stepsToCut(const std::map<std::uint64_t, RoadStep>& road,
                                   std::uint64_t stride) {
    std::map<RoadStep, std::vector<std::uint64_t>> byStep;
    for (const auto& [k, step] : road) byStep[step].push_back(k);
    std::set<std::uint64_t> cut;
    for (const auto& [step, ks] : byStep) {
        cut.insert(ks.front());
        cut.insert(ks[ks.size() / 2]);
        cut.insert(ks.back());
    }
    for (std::uint64_t k = 1; k <= road.rbegin()->first; k += stride) cut.insert(k);
    return cut;
}

TEST_F(UpgradePowerCut, AtEveryRoadStepTheRepairFinishesTheJob) {
    // The uncut road says which steps it takes and which road step takes each.
    std::map<std::uint64_t, RoadStep> road;
    {
        auto recorder = std::make_unique<StepRecorder>(world(0));
        StepRecorder& recording = *recorder;
        Installed installed(std::move(recorder));
        std::string shown;
        ASSERT_EQ(upgrade(false, shown), kExitOk) << shown;
        ASSERT_NO_FATAL_FAILURE(expectWorkingDisk(recording.sim(), "uncut"));
        road = recording.steps();
    }
    ASSERT_FALSE(road.empty());
    ASSERT_EQ(road.size(), road.rbegin()->first) << "a flash step the recorder did not see";
    std::set<RoadStep> seen;
    for (const auto& [k, step] : road) seen.insert(step);
    ASSERT_EQ(seen.size(), 4u) << "the road should write the ID Block, the image, the format "
                                  "and the copy";

    std::uint64_t stride = std::max<std::uint64_t>(1, road.size() / 8);
    if (const char* wanted = std::getenv("CV50_POWER_CUT_STRIDE"))
        stride = std::max<std::uint64_t>(1, std::strtoull(wanted, nullptr, 10));
    const std::set<std::uint64_t> cuts = stepsToCut(road, stride);

    std::printf("%zu flash steps, %zu cuts (stride %llu)\n", road.size(), cuts.size(),
                static_cast<unsigned long long>(stride));
    std::printf("%8s  %-15s  %-8s  %-9s  %s\n", "STEP", "ROAD STEP CUT", "UPGRADE", "CAME BACK",
                "REPAIRED");
    for (const std::uint64_t k : cuts) {
        const RoadStep step = road.at(k);
        const std::string where = "power cut at step " + std::to_string(k) + " of " +
                                  std::to_string(road.size()) + " (" + nameOf(step) + ")";
        auto owned = world(k);
        sim::SimOs& sim = *owned;
        Installed installed(std::move(owned));
        std::string shown;
        const int cut = upgrade(false, shown);
        EXPECT_NE(cut, kExitBadInput) << where << ": " << shown;
        // A road that retried the step past the cut says so only when it holds.
        if (cut == kExitOk) expectWorkingDisk(sim, where + ", reported done");
        sim.sleepMs(2000);  // past the player's enumeration delay
        const std::string cameBack = testing::modeName(sim);
        EXPECT_NE(cameBack, "gone") << where;

        const int repaired = upgrade(true, shown);
        EXPECT_EQ(repaired, kExitOk) << where << ": " << shown;
        expectWorkingDisk(sim, where);
        std::printf("%8llu  %-15s  %-8s  %-9s  %s\n", static_cast<unsigned long long>(k),
                    nameOf(step), cut == kExitOk ? "done" : "failed", cameBack.c_str(),
                    repaired == kExitOk ? "yes" : "NO");
        if (::testing::Test::HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace cv50::cli
