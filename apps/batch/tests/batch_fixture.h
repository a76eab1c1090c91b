// Tests of the production tool's core against simulated players: the tool in a program
// folder of its own (setting.ini, a language file whose every text names its key), a view
// that records what the window would show, and the test thread playing the window thread.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "apps/batch/core/batch_tool.h"
#include "apps/batch/core/control_ids.h"
#include "apps/batch/core/text_keys.h"
#include "apps/batch/core/view.h"
#include "base/host.h"
#include "engine/api/tests/upgrade_fixture.h"
#include "engine/flash/loader_file.h"

namespace cv50::batch::testing {

struct ListLine {
    int colour = 0;
    std::string text;
};

class RecordingView : public View {
public:
    void setText(int control, const std::string& text) override {
        std::lock_guard lock(mutex_);
        texts_[control] = text;
        textHistory_[control].push_back(text);
    }
    void setEnabled(int control, bool enabled) override {
        std::lock_guard lock(mutex_);
        enabled_[control] = enabled;
    }
    void setChecked(int control, bool checked) override {
        std::lock_guard lock(mutex_);
        checked_[control] = checked;
    }
    void applyLanguage(const std::string& file) override {
        std::lock_guard lock(mutex_);
        language_ = file;
    }
    void setCellColours(int control, std::uint32_t background, std::uint32_t) override {
        setCellBackground(control, background);
    }
    void setCellBackground(int control, std::uint32_t background) override {
        std::lock_guard lock(mutex_);
        colours_[control].push_back(background);
    }
    void startCellBlink(int control, std::uint32_t, std::uint32_t, int) override {
        std::lock_guard lock(mutex_);
        blinking_[control] = true;
    }
    void stopCellBlink(int control) override {
        std::lock_guard lock(mutex_);
        blinking_[control] = false;
    }
    void addListLine(int textColour, int, const std::string& text) override {
        std::lock_guard lock(mutex_);
        list_.push_back({textColour, text});
    }
    void clearList() override {
        std::lock_guard lock(mutex_);
        list_.clear();
    }
    void postStageDone(int message, int slot, bool failed) override {
        std::lock_guard lock(mutex_);
        posted_.push_back({message, slot, failed});
    }

    struct Posted {
        int message, slot;
        bool failed;
    };
    std::vector<Posted> takePosted() {
        std::lock_guard lock(mutex_);
        return std::exchange(posted_, {});
    }
    std::string text(int control) const {
        std::lock_guard lock(mutex_);
        const auto it = texts_.find(control);
        return it == texts_.end() ? "" : it->second;
    }
    std::vector<std::string> textHistory(int control) const {
        std::lock_guard lock(mutex_);
        const auto it = textHistory_.find(control);
        return it == textHistory_.end() ? std::vector<std::string>{} : it->second;
    }
    bool enabled(int control) const {
        std::lock_guard lock(mutex_);
        const auto it = enabled_.find(control);
        return it == enabled_.end() || it->second;
    }
    // The background colours a cell was given, oldest first.
    std::vector<std::uint32_t> colours(int control) const {
        std::lock_guard lock(mutex_);
        const auto it = colours_.find(control);
        return it == colours_.end() ? std::vector<std::uint32_t>{} : it->second;
    }
    std::uint32_t colour(int control) const {
        const auto all = colours(control);
        return all.empty() ? 0xFFFFFFFFu : all.back();
    }
    bool blinking(int control) const {
        std::lock_guard lock(mutex_);
        const auto it = blinking_.find(control);
        return it != blinking_.end() && it->second;
    }
    std::vector<ListLine> list() const {
        std::lock_guard lock(mutex_);
        return list_;
    }
    // The index of the first list line that is `text`, or -1.
    int lineAt(const std::string& text) const {
        const auto lines = list();
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].text == text) return static_cast<int>(i);
        return -1;
    }
    bool hasLine(const std::string& text) const { return lineAt(text) >= 0; }
    int colourOf(const std::string& text) const {
        const int at = lineAt(text);
        return at < 0 ? -1 : list()[static_cast<std::size_t>(at)].colour;
    }
    std::string language() const {
        std::lock_guard lock(mutex_);
        return language_;
    }

private:
    mutable std::mutex mutex_;
    std::map<int, std::string> texts_;
    std::map<int, std::vector<std::string>> textHistory_;
    std::map<int, bool> enabled_, checked_, blinking_;
    std::map<int, std::vector<std::uint32_t>> colours_;
    std::vector<ListLine> list_;
    std::vector<Posted> posted_;
    std::string language_;
};

// A player on a root-hub port that appears half a second after the start.
inline sim::testing::Player player(sim::testing::Mode mode) {
    return sim::testing::Player(mode).enumerateDelay(0.5);
}

class BatchFixture : public cv50::testing::UpgradeFixture {
protected:
    void TearDown() override {
        closeTool();
        UpgradeFixture::TearDown();
    }

    // The settings the tests start from: the simulated players' CorvUsb numbers, the log on.
    static std::string defaultSettings(const std::string& more = "",
                                       const std::string& language = "Test") {
        return "[DEVICE_ID]\nPID=0x3201\n[SYSTEM]\nLOG=ENABLE\nLANGUAGE=" + language + "\n" +
               more;
    }

    // Every list key's text is "L<n> %s" (with " %d" for a number); the boxes' texts
    // are "M<n>" with their numbers, the engine's questions "Q<n>".
    void writeLanguage(const std::map<int, std::string>& replaced = {}) {
        std::filesystem::create_directories(program.path() + "/Language");
        std::ostringstream ini;
        ini << "[Setting]\nLanguage=Test\n[String]\n";
        const std::map<int, std::string> boxes{
            {40, "M40"}, {41, "M41"}, {42, "M42"}, {43, "M43"}, {44, "M44"},
            {45, "M45 %d"}, {46, "M46 %d %d"}, {71, "M71 %d"}, {85, "M85"}, {86, "M86 %d %d"},
            {53, "Q53"}, {54, "Q54"}, {84, "Q84"}};
        for (int key = 1; key <= 88; ++key) {
            std::string text;
            if (const auto r = replaced.find(key); r != replaced.end())
                text = r->second;
            else if (const auto b = boxes.find(key); b != boxes.end())
                text = b->second;
            else if (takesValue(static_cast<Line>(key)))
                text = "L" + std::to_string(key) + " %s %d";
            else
                text = "L" + std::to_string(key) + " %s";
            ini << "IDS_" << key << "=" << text << "\n";
        }
        std::ofstream(program.path() + "/Language/test.ini") << ini.str();
    }

    // The tool started on the current world with `settings` as its setting.ini.
    void launch(const std::string& settings = defaultSettings()) {
        std::ofstream(program.path() + "/setting.ini", std::ios::binary) << settings;
        if (!std::filesystem::exists(program.path() + "/Language")) writeLanguage();
        // The package library loads from the program folder.
        const std::filesystem::path library = packageLibrary();
        std::filesystem::copy_file(library, std::filesystem::path(program.path()) / library.filename(),
                                   std::filesystem::copy_options::overwrite_existing);
        world->sim().setMessageAnswerer([this](const sim::SimOs::ShownMessage& m) {
            std::lock_guard lock(boxesMutex);
            boxes.push_back(m.text);
            return answer(m);
        });
        tool = std::make_unique<BatchTool>(view, program.path() + "\\");
        tool->start();
    }
    void closeTool() {
        if (!tool) return;
        tool->requestClose();
        tool.reset();
    }

    // Plays the window thread until `done`, handing every posted stage message back.
    bool pumpUntil(const std::function<bool()>& done, int seconds = 60) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            for (const auto& p : view.takePosted()) tool->onStageDone(p.message, p.slot, p.failed);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    // Until `count` devices are bound to slots.
    bool bound(int count) {
        return pumpUntil([&] {
            int n = 0;
            for (int i = 0; i < kSlots; ++i) n += tool->station().slot(i).absent ? 0 : 1;
            return n == count;
        });
    }
    // Until the running batch has ended with its result line.
    bool batchEnds(int succeeded, int failed) {
        return pumpUntil([&] {
            return !tool->station().batchRunning() &&
                   view.hasLine("M46 " + std::to_string(succeeded) + " " + std::to_string(failed));
        });
    }
    std::string listText() const {
        std::string all;
        for (const ListLine& l : view.list()) all += l.text + "\n";
        return all;
    }
    bool boxShown(const std::string& text) {
        std::lock_guard lock(boxesMutex);
        return std::find(boxes.begin(), boxes.end(), text) != boxes.end();
    }
    // The tool's log file lines, across its dated files. The tool opens its file without
    // sharing for each line, so a test waits for it rather than read it at that moment; and
    // it polls the view, not the log, since a line the tool cannot open its file for is lost.
    std::string toolLog() const {
        std::string all;
        const std::string folder = program.path() + "/Log";
        if (!std::filesystem::exists(folder)) return all;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::ifstream in;
            for (int attempt = 0; attempt < 200 && !in.is_open(); ++attempt) {
                in.open(entry.path(), std::ios::binary);
                if (!in.is_open()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            std::stringstream s;
            s << in.rdbuf();
            all += s.str();
        }
        return all;
    }
    bool toolLogged(const std::string& message) const {
        return toolLog().find("\t" + message + "\r\n") != std::string::npos;
    }
    // Where in the log `message` is first, or npos.
    std::size_t logPosition(const std::string& message) const {
        return toolLog().find("\t" + message + "\r\n");
    }

    // An image of the sample loader, its trailer asking for `configMB` of configuration disk.
    std::string image(const std::string& name = "new.img", std::uint32_t configMB = 16) {
        cv50::testing::ImageSpec spec;
        spec.tail.systemVersion = 0x00020003;
        spec.tail.configDiskMB = configMB;
        return packImage(name, spec);
    }
    std::string demoFolder() {
        const std::string demo = files.path() + "/Demo";
        std::filesystem::create_directories(demo);
        std::ofstream(demo + "/Read Me.txt", std::ios::binary) << "hello\n";
        return demo;
    }

    // Writes ID Blocks (five copies, disk sizes 64:16) onto the blank Loader on `layer`, as
    // a station's earlier run would have, so that stage one updates them.
    void writeIdBlock(const char* layer) {
        const DEVICE_INFO d = waitFor(layer, Loader);
        ASSERT_EQ(d.type, Loader) << layer;
        flash::PiecePaths parts;
        flash::BootHead head;
        ASSERT_TRUE(flash::unpackBoot(loaderPath(), parts, head));
        flash::CFlashDevice flash;
        flash.SetDevice(d.devicePath);
        flash.SetBootFiles(parts.data, parts.flashBoot);
        flash.systemDiskMB = 64;
        flash.diskSizesText = "16";
        ASSERT_EQ(flash.WriteIDBlock(true, true), 0) << layer;
    }

    // The package library beside the test program, by its host file name.
    static std::filesystem::path packageLibrary() {
        const auto folder = std::filesystem::path(base::executablePath()).parent_path();
        return base::libraryCandidates((folder / flash::kPackageLibrary).string(), "").front();
    }

    RecordingView view;
    sim::testing::TempFolder program;
    std::unique_ptr<BatchTool> tool;
    std::function<os::MessageAnswer(const sim::SimOs::ShownMessage&)> answer =
        [](const sim::SimOs::ShownMessage&) { return os::MessageAnswer::Ok; };
    std::mutex boxesMutex;
    std::vector<std::string> boxes;
};

}  // namespace cv50::batch::testing
