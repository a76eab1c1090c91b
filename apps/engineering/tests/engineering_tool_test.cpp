// The engineering tool's core against simulated players, through a view that records what
// the window would show; the test thread plays the window thread.
#include "apps/engineering/core/engineering_tool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "apps/engineering/core/control_ids.h"
#include "apps/engineering/core/texts.h"
#include "engine/api/md_exports.h"
#include "engine/api/tests/upgrade_fixture.h"
#include "sim/testing/hostile_files.h"

namespace cv50::engineering {
namespace {

using sim::testing::Faults;
using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::Timing;

class RecordingView : public View {
public:
    void setText(int control, const std::string& text) override {
        std::lock_guard lock(mutex_);
        texts_[control] = text;
    }
    void setEnabled(int control, bool enabled) override {
        std::lock_guard lock(mutex_);
        enabled_[control] = enabled;
    }
    void setChecked(int control, bool checked) override {
        std::lock_guard lock(mutex_);
        checked_[control] = checked;
    }
    void setVisible(int, bool) override {}
    void appendLog(const std::string& line) override {
        std::lock_guard lock(mutex_);
        log_.push_back(line);
    }
    void replaceLastLog(const std::string& line) override {
        std::lock_guard lock(mutex_);
        replacements_.push_back(line);
        if (log_.empty())
            log_.push_back(line);
        else
            log_.back() = line;
    }
    void clearLog() override {
        std::lock_guard lock(mutex_);
        log_.clear();
    }
    void postPassEnd(bool failed) override {
        std::lock_guard lock(mutex_);
        passEnds_.push_back(failed);
    }

    std::string text(int control) const {
        std::lock_guard lock(mutex_);
        const auto it = texts_.find(control);
        return it == texts_.end() ? "" : it->second;
    }
    bool enabled(int control) const {
        std::lock_guard lock(mutex_);
        const auto it = enabled_.find(control);
        return it == enabled_.end() || it->second;
    }
    std::vector<std::string> log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    bool logHas(const std::string& line) const {
        const auto lines = log();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // The lines that replaced the last line in place, in order.
    std::vector<std::string> replacements() const {
        std::lock_guard lock(mutex_);
        return replacements_;
    }
    // A line that begins with `prefix` (a text with a number at its end).
    bool logHasPrefix(const std::string& prefix) const {
        const auto lines = log();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    std::size_t count(const std::string& line) const {
        const auto lines = log();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
    // The pass ends posted since the last call, oldest first.
    std::vector<bool> takePassEnds() {
        std::lock_guard lock(mutex_);
        std::vector<bool> out(passEnds_.begin(), passEnds_.end());
        passEnds_.clear();
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::map<int, std::string> texts_;
    std::map<int, bool> enabled_, checked_;
    std::vector<std::string> log_;
    std::vector<bool> passEnds_;
    std::vector<std::string> replacements_;
};

class EngineeringToolTest : public testing::UpgradeFixture {
protected:
    void TearDown() override {
        if (tool) {
            tool->requestExit();
            tool.reset();
        }
        UpgradeFixture::TearDown();
    }

    // The tool started with `settings` as its Setting.ini, on the current world.
    void launch(const std::string& settings = "[SYSTEM]\nDEBUGLEVEL=3\n") {
        sim::testing::writeTextFile(program.file("Setting.ini"), settings);
        world->sim().setMessageAnswerer([this](const sim::SimOs::ShownMessage& m) {
            std::lock_guard lock(boxesMutex);
            boxes.push_back(m.text);
            return answer(m);
        });
        tool = std::make_unique<EngineeringTool>(view, program.path() + "\\");
        tool->start();
    }

    // Plays the window thread until `done`, handing every posted pass end back to the tool.
    bool pumpUntil(const std::function<bool()>& done, int seconds = 60) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            for (bool failed : view.takePassEnds()) tool->onPassEnd(failed);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    bool deviceLineIs(const char* line) {
        return pumpUntil([&] { return view.text(IDC_DEVICE_LINE) == line; }, 20);
    }
    bool ended(const char* line) {
        return pumpUntil([&] { return view.logHas(line) && tool->stage() == Stage::Idle; });
    }
    std::string windowText() const {
        std::string all;
        for (const std::string& line : view.log()) all += line + "\n";
        return all;
    }
    bool boxShown(const std::string& text) { return boxCount(text) > 0; }
    std::string shownBoxes() {
        std::lock_guard lock(boxesMutex);
        std::string all = "message boxes shown:\n";
        for (const std::string& box : boxes) all += "  " + box + "\n";
        return all;
    }
    std::size_t boxCount(const std::string& text) {
        std::lock_guard lock(boxesMutex);
        return static_cast<std::size_t>(std::count(boxes.begin(), boxes.end(), text));
    }
    // A manual pass ends by resetting the player, which leaves the bus for a moment; a click
    // then is told there is no player, and the user clicks again once it is back.
    bool upgradeAgain() {
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (!pumpUntil([&] { return view.enabled(IDC_UPGRADE); })) return false;
            const std::size_t refused = boxCount(text::kNoDevice);
            tool->onUpgrade();
            if (boxCount(text::kNoDevice) == refused) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (!deviceLineIs(text::kDeviceLoader)) return false;
        }
        return false;
    }

    // An image of the sample loader, system version 2.3, with the size record.
    std::string newImage() {
        testing::ImageSpec spec;
        spec.tail.systemVersion = 0x00020003;
        return packImage("new.img", spec);
    }
    std::string demoFolder() {
        const std::string demo = files.file("Demo");
        sim::testing::writeTextFile(demo + "/Read Me.txt", "hello\n");
        sim::testing::writeTextFile(demo + "/Music/track01.mp3", std::string(70000, 'm'));
        return demo;
    }
    std::optional<std::string> fileOnDisk(const char* layer, const std::string& path) {
        return UpgradeFixture::fileOnDisk(waitFor(layer, Msc, 5), path);
    }
    static _CORV_VERSION versionOf(const char* layer) {
        DEVICE_INFO d = waitFor(layer, Msc, 5);
        _CORV_VERSION v{};
        SEARCH_RESULT list{1, &d};
        ERROR_LIST errors{};
        EXPECT_EQ(MD_GetDeviceVersion(&list, &v, &errors), 1) << layer;
        return v;
    }

    RecordingView view;
    sim::testing::TempFolder program;
    std::unique_ptr<EngineeringTool> tool;
    std::function<os::MessageAnswer(const sim::SimOs::ShownMessage&)> answer =
        [](const sim::SimOs::ShownMessage&) { return os::MessageAnswer::Ok; };
    std::mutex boxesMutex;
    std::vector<std::string> boxes;
};

TEST_F(EngineeringToolTest, TheShippedSampleSettingsReadAsTheyAreMeant) {
    start({nullptr});
    std::filesystem::copy_file(CV50_SAMPLES_DIR "/CV50Upgrade/Setting.ini",
                               program.file("Setting.ini"));
    const Settings s = LoadSettings(program.path() + "\\");
    EXPECT_TRUE(s.opened);
    EXPECT_EQ(s.corvUsbPid, 0x3201);
    EXPECT_EQ(s.corvMscPid, 0x3203);
    EXPECT_FALSE(s.forceErase);
    EXPECT_FALSE(s.autoUpgrade);
    EXPECT_EQ(s.upgradeTimes, 1);
    EXPECT_EQ(s.debugLevel, 1);
    EXPECT_EQ(s.diskVolume, "PLAYER");
    EXPECT_TRUE(s.logEnabled);
    EXPECT_EQ(s.defaultImage, "");
}

TEST_F(EngineeringToolTest, HostileSettingsFilesGiveTheirValuesOrTheDefaults) {
    start({nullptr});
    using Reads = sim::testing::HostileFile::Reads;
    const std::string good = "[DEVICE_ID]\nVID=0x1234\n[SYSTEM]\nUPGRADETIMES=5\n"
                             "DISK_VOLUME=STATION\nPARTITION=10:20\nLOG=ENABLE\n";
    for (const sim::testing::HostileFile& h :
         sim::testing::hostileFiles(good, sim::testing::kHostileProgramLineLength)) {
        SCOPED_TRACE(h.kind);
        launch(h.bytes);
        const Settings& s = tool->settings();
        EXPECT_TRUE(s.opened);
        switch (h.reads) {
            case Reads::Good:
                EXPECT_EQ(s.corvUsbVid, 0x1234);
                EXPECT_EQ(s.upgradeTimes, 5);
                EXPECT_EQ(s.diskVolume, "STATION");
                EXPECT_EQ(s.partition, "10:20");
                EXPECT_TRUE(s.logEnabled);
                break;
            case Reads::None:
                EXPECT_EQ(s.corvUsbVid, 0x071B);
                EXPECT_EQ(s.upgradeTimes, 0);
                EXPECT_EQ(s.diskVolume, "");
                EXPECT_FALSE(s.logEnabled);
                break;
            case Reads::LongValues:
                // Each cut to its buffer; "ENABLE" no longer matches.
                EXPECT_EQ(s.upgradeTimes, 5);
                EXPECT_EQ(s.diskVolume, "STATION" + std::string(259 - 7, 'A'));
                EXPECT_EQ(s.partition, "10:20" + std::string(15 - 5, 'A'));
                EXPECT_FALSE(s.logEnabled);
                break;
        }
        tool->requestExit();
        tool.reset();
    }
}

TEST_F(EngineeringToolTest, AMaskRomPlayerAndThenTheSameLoaderBecomeADiskWithTheNewFirmware) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5)}, 50, true);
    launch();
    tool->chooseImage(newImage());
    EXPECT_EQ(view.text(IDC_BOOT_VERSION), "1.23");
    ASSERT_TRUE(deviceLineIs(text::kDeviceMaskRom));

    // First pass without Demo: the player keeps its new image as a loader.
    tool->onUpgrade();
    EXPECT_FALSE(view.enabled(IDC_UPGRADE));
    ASSERT_TRUE(ended(text::kUpgradeOk)) << logText();
    EXPECT_TRUE(view.enabled(IDC_UPGRADE));
    for (const char* line : {text::kBootStart, text::kBootDone, text::kTestLinkOk,
                             text::kIdBlockDone, text::kResetDone, text::kTestDone})
        EXPECT_TRUE(view.logHas(line)) << line;
    const DEVICE_INFO loader = waitFor("1", Loader);
    ASSERT_EQ(loader.type, Loader);
    EXPECT_TRUE(diskHoldsImage(loader, files.file("new.img")));

    // Second pass from the loader, with the Demo folder: formatted, filled and ejected.
    ASSERT_TRUE(deviceLineIs(text::kDeviceLoader));
    const std::string demo = demoFolder();
    tool->onChecked(IDC_DEMO, true);
    tool->chooseDemoFolder(demo);
    ASSERT_TRUE(upgradeAgain()) << shownBoxes();
    ASSERT_TRUE(pumpUntil([&] {
        return view.count(text::kUpgradeOk) == 2 && tool->stage() == Stage::Idle;
    })) << logText();
    EXPECT_TRUE(view.logHas(text::kLoaderStepOk));
    EXPECT_EQ(view.count(text::kBootStart), 1u);
    for (const char* line : {text::kResetFlagStart, text::kFormatStart, text::kCopyStart})
        EXPECT_TRUE(view.logHas(line)) << line;
    EXPECT_TRUE(view.logHasPrefix("INFO:拷贝Demo数据成功,耗时("));

    // Plugged in again, it is a disk with the new firmware and the Demo files.
    tool->requestExit();
    tool.reset();
    start({Player(Mode::Msc).enumerateDelay(0.5)}, 50, true);
    const _CORV_VERSION v = versionOf("1");
    EXPECT_EQ(v.systemHigh, 2);
    EXPECT_EQ(v.systemLow, 3);
    EXPECT_EQ(fileOnDisk("1", "Read Me.txt"), std::optional<std::string>("hello\n"));
    const auto track = fileOnDisk("1", "Music\\track01.mp3");
    ASSERT_TRUE(track);
    EXPECT_TRUE(*track == std::string(70000, 'm')) << track->size() << " bytes";
}

TEST_F(EngineeringToolTest, UpgradeRefusesWhatCannotBeUpgradedAndStartsNothing) {
    start({Player(Mode::Msc)});
    launch("[SYSTEM]\nAUTOUPGRADE=1\nUPGRADETIMES=0\n");
    tool->onUpgrade();
    EXPECT_TRUE(boxShown(text::kNoBootFile));
    tool->chooseImage(newImage());
    ASSERT_TRUE(deviceLineIs(text::kDeviceDisk));
    tool->onUpgrade();
    EXPECT_TRUE(boxShown(text::kBadRepeatCount));
    tool->onChecked(IDC_AUTO, false);
    tool->onUpgrade();
    EXPECT_TRUE(boxShown(text::kDiskCannotUpgrade));
    EXPECT_EQ(tool->remainingPasses(), 0);
    EXPECT_TRUE(view.enabled(IDC_UPGRADE));
}

TEST_F(EngineeringToolTest, APartitionBelowTheImagesMinimumIsRaisedOnOkAndAnInvalidOneRefused) {
    start({Player(Mode::MaskRom)});
    launch();
    tool->chooseImage(newImage());  // its size record asks for a 16 MB configuration disk
    EXPECT_EQ(view.text(IDC_PARTITION), "16");
    EXPECT_EQ(view.text(IDC_NEW_SYSTEM_DISK), "64");
    ASSERT_TRUE(deviceLineIs(text::kDeviceMaskRom));
    tool->onText(IDC_PARTITION, "1a");
    tool->onUpgrade();
    EXPECT_TRUE(boxShown(text::kBadPartition));
    EXPECT_EQ(tool->remainingPasses(), 0);

    answer = [](const sim::SimOs::ShownMessage&) { return os::MessageAnswer::Cancel; };
    tool->onText(IDC_PARTITION, "8:10");
    tool->onUpgrade();
    EXPECT_TRUE(boxShown(text::kUseMinimum));
    EXPECT_EQ(tool->remainingPasses(), 0);

    answer = [](const sim::SimOs::ShownMessage&) { return os::MessageAnswer::Ok; };
    tool->onUpgrade();
    EXPECT_EQ(view.text(IDC_PARTITION), "16:10");
    EXPECT_EQ(tool->remainingPasses(), 1);
    ASSERT_TRUE(ended(text::kUpgradeOk)) << logText();
    EXPECT_EQ(idBlockOn(waitFor("1", Loader)).diskSizesMB[1], 16);
}

TEST_F(EngineeringToolTest, AnAutoRunLeavesThePlayerALoaderBetweenPassesAndAtTheEnd) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5)});
    launch("[SYSTEM]\nAUTOUPGRADE=1\nUPGRADETIMES=3\nDEBUGLEVEL=3\n");
    tool->chooseImage(newImage());
    ASSERT_TRUE(deviceLineIs(text::kDeviceMaskRom));
    tool->onUpgrade();
    EXPECT_TRUE(view.logHas("INFO:启动自动升级，总升级次数：3"));
    ASSERT_TRUE(ended(text::kAutoOk)) << logText();
    for (const char* pass : {"INFO:自动升级[3]", "INFO:自动升级[2]", "INFO:自动升级[1]"})
        EXPECT_TRUE(view.logHas(pass)) << pass;
    EXPECT_FALSE(view.logHas(text::kUpgradeOk));
    EXPECT_TRUE(view.enabled(IDC_UPGRADE));
    // The last image step did not reset the player: it is the loader the step wrote to.
    std::string lastPath;
    for (const std::string& line : view.log())
        if (line.rfind("Image设备路径(", 0) == 0)
            lastPath = line.substr(std::strlen("Image设备路径("));
    ASSERT_FALSE(lastPath.empty());
    lastPath.pop_back();
    const DEVICE_INFO now = waitFor("1", Loader);
    EXPECT_EQ(std::string(now.devicePath), lastPath);
}

TEST_F(EngineeringToolTest, APlayerLostInPassThreeOfFiveEndsTheLoopWithTheLoaderWaitMessage) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5).faults(Faults().neverReturnAt(3))});
    launch("[SYSTEM]\nAUTOUPGRADE=1\nUPGRADETIMES=5\n");
    tool->chooseImage(newImage());
    ASSERT_TRUE(deviceLineIs(text::kDeviceMaskRom));
    tool->onUpgrade();
    ASSERT_TRUE(ended(text::kAutoEnded)) << logText();
    EXPECT_TRUE(view.logHas(text::kLoaderTimeout));
    EXPECT_TRUE(view.logHas("INFO:自动升级[3]"));
    EXPECT_FALSE(view.logHas("INFO:自动升级[2]"));
    EXPECT_EQ(tool->remainingPasses(), 0);
    EXPECT_TRUE(view.enabled(IDC_UPGRADE));
    EXPECT_TRUE(view.enabled(IDC_BOOT_CHOOSE));
}

TEST_F(EngineeringToolTest, ClearingTheAutoBoxLetsTheRunningPassFinishThenCancels) {
    // A slow link keeps the first pass's image stage long enough to be seen running: at the
    // full rate it can pass between two looks of the test.
    start({Player(Mode::MaskRom).enumerateDelay(0.5).timing(
        Timing().linkBytesPerSecond(200'000))});
    launch("[SYSTEM]\nAUTOUPGRADE=1\nUPGRADETIMES=4\n");
    tool->chooseImage(newImage());
    ASSERT_TRUE(deviceLineIs(text::kDeviceMaskRom));
    tool->onUpgrade();
    ASSERT_TRUE(pumpUntil([&] { return tool->stage() == Stage::ImageRunning; }));
    ASSERT_FALSE(view.logHas("INFO:自动升级[3]")) << "the first pass's image stage was missed";
    tool->onChecked(IDC_AUTO, false);
    ASSERT_TRUE(ended(text::kAutoEnded)) << logText();
    EXPECT_TRUE(view.logHasPrefix("INFO:下载Image成功,耗时("));
    EXPECT_TRUE(view.logHas(text::kAutoCancelled)) << windowText();
    EXPECT_FALSE(view.logHas("INFO:自动升级[3]"));
    EXPECT_TRUE(view.enabled(IDC_UPGRADE));
}

TEST_F(EngineeringToolTest, CancelToTheEnginesQuestionEndsThePassAsTheUsersChoice) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5)});
    launch();
    // A system disk of 1 MB for a 1 MB image: updating it again must reformat, and asks.
    testing::ImageSpec spec;
    spec.tail.systemDiskMB = 1;
    tool->chooseImage(packImage("small.img", spec));
    ASSERT_TRUE(deviceLineIs(text::kDeviceMaskRom));
    tool->onUpgrade();
    ASSERT_TRUE(ended(text::kUpgradeOk)) << logText();
    ASSERT_TRUE(deviceLineIs(text::kDeviceLoader));
    answer = [](const sim::SimOs::ShownMessage& m) {
        return m.buttons == os::MessageButtons::OkCancel ? os::MessageAnswer::Cancel
                                                         : os::MessageAnswer::Ok;
    };
    ASSERT_TRUE(upgradeAgain()) << shownBoxes();
    ASSERT_TRUE(ended(text::kUpgradeEnded)) << logText() << shownBoxes();
    EXPECT_TRUE(view.logHas(text::kUserCancelled));
    EXPECT_TRUE(view.logHasPrefix("ERROR:ID_BLOCK写入失败,错误代码("));
}

TEST_F(EngineeringToolTest, ALongBusyScanKeepsOneProgressLineUpdatedInPlace) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5).timing(Timing().busyMs(3500))});
    launch("[SYSTEM]\nDEBUGLEVEL=0\n");
    tool->chooseImage(newImage());
    ASSERT_TRUE(deviceLineIs(text::kDeviceMaskRom));
    tool->onUpgrade();
    ASSERT_TRUE(ended(text::kUpgradeOk)) << logText();
    const auto isBusy = [](const std::string& l) {
        return l.rfind("INFO:正在测试设备,总块数:", 0) == 0;
    };
    const auto lines = view.log();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), isBusy), 1);
    const auto replacements = view.replacements();
    EXPECT_GE(std::count_if(replacements.begin(), replacements.end(), isBusy), 2);
}

}  // namespace
}  // namespace cv50::engineering
