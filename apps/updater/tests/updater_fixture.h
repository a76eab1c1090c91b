// Tests: the updater's core against simulated players, through a view that records what the
// window would show; the test thread plays the window thread (timers, posted results).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "apps/common/language_files.h"
#include "apps/updater/core/control_ids.h"
#include "apps/updater/core/updater.h"
#include "base/unicode.h"
#include "engine/api/cv_exports.h"
#include "engine/api/exports.h"
#include "engine/api/tests/upgrade_fixture.h"

namespace cv50::updater::testing {

class RecordingView : public View {
public:
    struct Change {
        std::uint64_t tick;  // simulated time
        int control;
        std::u16string text;
    };

    void setText(int control, const std::u16string& text) override {
        std::lock_guard lock(mutex_);
        texts_[control] = text;
        changes_.push_back({os::current().tickMs(), control, text});
    }
    void setEnabled(int control, bool enabled) override {
        std::lock_guard lock(mutex_);
        enabled_[control] = enabled;
    }
    void startBusy() override {
        std::lock_guard lock(mutex_);
        busyRunning_ = true;
    }
    void stopBusy() override {
        std::lock_guard lock(mutex_);
        busyRunning_ = false;
    }
    void resetBusy() override {
        std::lock_guard lock(mutex_);
        ++busyResets_;
    }
    void startTimer(int timer, unsigned periodMs) override {
        std::lock_guard lock(mutex_);
        timers_[timer] = periodMs;
    }
    void stopTimer(int timer) override {
        std::lock_guard lock(mutex_);
        timers_.erase(timer);
    }
    void postResult(int mode, int code) override {
        std::lock_guard lock(mutex_);
        results_.push_back({mode, code});
    }

    std::u16string text(int control) const {
        std::lock_guard lock(mutex_);
        const auto it = texts_.find(control);
        return it == texts_.end() ? u"" : it->second;
    }
    // Enabled unless disabled.
    bool enabled(int control) const {
        std::lock_guard lock(mutex_);
        const auto it = enabled_.find(control);
        return it == enabled_.end() || it->second;
    }
    bool busyRunning() const {
        std::lock_guard lock(mutex_);
        return busyRunning_;
    }
    int busyResets() const {
        std::lock_guard lock(mutex_);
        return busyResets_;
    }
    bool timerRunning(int timer) const {
        std::lock_guard lock(mutex_);
        return timers_.count(timer) != 0;
    }
    std::vector<Change> changes() const {
        std::lock_guard lock(mutex_);
        return changes_;
    }
    // The texts `control` was given, oldest first.
    std::vector<std::u16string> textsOf(int control) const {
        std::vector<std::u16string> out;
        for (const Change& c : changes())
            if (c.control == control) out.push_back(c.text);
        return out;
    }
    // When `control` first got `text`, in simulated ms; 0 when it never did.
    std::uint64_t firstTick(int control, const std::u16string& text) const {
        for (const Change& c : changes())
            if (c.control == control && c.text == text) return c.tick;
        return 0;
    }
    void forget() {
        std::lock_guard lock(mutex_);
        changes_.clear();
    }
    std::deque<std::pair<int, int>> takeResults() {
        std::lock_guard lock(mutex_);
        return std::exchange(results_, {});
    }

private:
    mutable std::mutex mutex_;
    std::map<int, std::u16string> texts_;
    std::map<int, bool> enabled_;
    std::map<int, unsigned> timers_;
    std::vector<Change> changes_;
    std::deque<std::pair<int, int>> results_;
    bool busyRunning_ = false;
    int busyResets_ = 0;
};

class UpdaterFixture : public cv50::testing::UpgradeFixture {
protected:
    void SetUp() override {
        UpgradeFixture::SetUp();
        std::filesystem::create_directories(program.path() + "/Language");
        std::filesystem::copy_file(std::string(CV50_LANGUAGE_DIR) + "/English.ini",
                                   program.path() + "/Language/English.ini");
    }
    void TearDown() override {
        if (updater) updater->shutdown();
        updater.reset();
        UpgradeFixture::TearDown();
    }

    // The match numbers of the simulated players, then `lines` (whole lines with their
    // sections).
    static std::string settingsWith(const std::string& lines) {
        return "[DEVICE_ID]\nVID=0x071B\nPID=0x3201\n[MSC_ID]\nVID=0x071B\nPID=0x3203\n" + lines;
    }
    void writeSettings(const std::string& text) {
        std::ofstream(program.path() + "/setting.ini", std::ios::binary) << text;
    }
    std::u16string programFolder() const { return base::utf16FromUtf8(program.path() + "\\"); }

    // The updater started on the current world as the dialog starts it, up to the end of
    // timer 0 (image check, monitor); false when the settings were fatal.
    bool launch() {
        world->sim().setMessageAnswerer([this](const sim::SimOs::ShownMessage& m) {
            std::lock_guard lock(boxesMutex);
            boxes.push_back(m);
            return answer(m);
        });
        updater = std::make_unique<Updater>(view, programFolder());
        if (!updater->loadSettings()) return false;
        updater->initialise();
        pumpUntil([&] { return !view.timerRunning(IDT_START); }, 5);
        return true;
    }

    // Plays the window thread until `done`: timers fire, posted results are handed back.
    bool pumpUntil(const std::function<bool()>& done, int seconds = 60) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (view.timerRunning(IDT_START)) updater->onTimer(IDT_START);
            if (view.timerRunning(IDT_ELAPSED)) updater->onTimer(IDT_ELAPSED);
            for (const auto& [mode, code] : view.takeResults()) {
                updater->onResult(mode, code);
                ++resultsHandled;
            }
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    bool statusIs(int key, int seconds = 20) {
        return pumpUntil([&] { return view.text(IDC_STATUS_LINE) == ids(key); }, seconds);
    }
    // Until the monitor has announced a device named `name` to the end: its step line went
    // from IDS_31 back to empty.
    bool announced(const std::u16string& name, int seconds = 20) {
        return pumpUntil(
            [&] {
                const std::vector<std::u16string> steps = view.textsOf(IDC_STEP_LINE);
                return view.text(IDC_DEVICE_NAME) == name && steps.size() >= 2 &&
                       steps.back().empty() && steps[steps.size() - 2] == ids(31);
            },
            seconds);
    }
    // Until the monitor holds a device again after a command.
    bool held(int seconds = 30) {
        return pumpUntil([&] { return view.enabled(IDC_UPGRADE) && !updater->busy(); }, seconds);
    }
    // A command run to its result; the message box it ended with.
    std::optional<sim::SimOs::ShownMessage> run(Command command, int seconds = 60) {
        const int before = resultsHandled;
        const std::size_t shown = boxCount();
        command == Command::Upgrade ? updater->onUpgrade() : updater->onRepair();
        if (!pumpUntil([&] { return resultsHandled > before; }, seconds)) return std::nullopt;
        const auto all = shownBoxes();
        if (all.size() <= shown) return std::nullopt;
        return all.back();
    }

    // The English text of IDS_<key>, as the shipped file has it.
    std::u16string ids(int key) const {
        return apps::lookUpText(base::utf16FromUtf8(program.path() + "/Language/English.ini"),
                                base::utf16FromUtf8("IDS_" + std::to_string(key)), 512);
    }
    std::string idsUtf8(int key) const { return base::utf8FromUtf16(ids(key)); }

    std::vector<sim::SimOs::ShownMessage> shownBoxes() {
        std::lock_guard lock(boxesMutex);
        return boxes;
    }
    std::size_t boxCount() { return shownBoxes().size(); }
    bool boxShown(const std::string& text) {
        for (const auto& b : shownBoxes())
            if (b.text == text) return true;
        return false;
    }

    // An image of the sample loader (version 1.23), system version 1.2.34, with the size
    // record (64 MiB system disk, 16 MiB configuration disk) unless `sizeRecord` is false.
    std::string image(const std::string& name = "new.img", bool sizeRecord = true) {
        cv50::testing::ImageSpec spec;
        spec.tail.systemVersion = 0x01020034;
        if (!sizeRecord) spec.tag = "NOTATAG";
        return packImage(name, spec);
    }

    // Player `index` of the world leaves the bus now, or arrives in `mode`: at a moment the
    // test chooses rather than at a simulated time a slow machine may overrun.
    void unplug(std::size_t index) {
        world->sim().withWorld([&](sim::UsbWorld& w) {
            w.depart(*w.players().at(index));
            return 0;
        });
    }
    void plug(std::size_t index, sim::PlayerMode mode) {
        const std::uint64_t now = world->sim().tickMs();
        world->sim().withWorld([&](sim::UsbWorld& w) {
            w.arrive(*w.players().at(index), mode, now);
            return 0;
        });
    }

    // A player given the image `old` (system version 1.1) from its mask ROM, kept in the
    // state folder; then a world (of `base`'s other keys) where it is found as `player` on
    // port 1.
    void startFlashed(const sim::testing::Player& player,
                      const sim::testing::ScenarioBuilder& base = {}) {
        start({sim::testing::Player(sim::testing::Mode::MaskRom).enumerateDelay(0.2)}, 50, true);
        cv50::testing::ImageSpec spec;
        spec.tail.systemVersion = 0x00010001;
        std::string old = packImage("old.img", spec);
        std::string loader = temp.path() + "/old-loader.bin";
        DEVICE_INFO d = waitFor("1", MaskRom);
        ASSERT_EQ(d.type, MaskRom);
        ASSERT_EQ(ExtractLoaderFile(old.data(), loader.data()), 1);
        ASSERT_EQ(CV_Upgrade(d, 2, 64, 16, loader.data(), 1, 1), 0) << logText();
        ASSERT_EQ(CV_ResetDevice(d), 1);
        ASSERT_EQ(CV_WaitDevice(d, Loader, 20, 0), 1);
        ASSERT_EQ(CV_DownloadImage(d, old.data()), 1) << logText();
        start({player}, 50, true, base);
    }

    RecordingView view;
    sim::testing::TempFolder program;
    std::unique_ptr<Updater> updater;
    int resultsHandled = 0;
    std::function<os::MessageAnswer(const sim::SimOs::ShownMessage&)> answer =
        [](const sim::SimOs::ShownMessage& m) {
            return m.buttons == os::MessageButtons::YesNo ? os::MessageAnswer::Yes
                                                          : os::MessageAnswer::Ok;
        };
    std::mutex boxesMutex;
    std::vector<sim::SimOs::ShownMessage> boxes;
};

}  // namespace cv50::updater::testing
