// The updater's Upgrade and Repair against simulated players: what each command does to the
// player, what the window shows meanwhile, and the message every result ends with.
#include <atomic>

#include "apps/updater/tests/updater_fixture.h"
#include "base/host.h"

namespace cv50::updater {
namespace {

using base::utf16FromUtf8;
using base::utf8FromUtf16;
using sim::testing::Faults;
using sim::testing::Mode;
using sim::testing::Player;
using testing::UpdaterFixture;

class Commands : public UpdaterFixture {
protected:
    // The step lines a command showed, in order, without the empty ones.
    std::vector<std::u16string> stepLines() const {
        std::vector<std::u16string> out;
        for (const std::u16string& line : view.textsOf(IDC_STEP_LINE))
            if (!line.empty()) out.push_back(line);
        return out;
    }
    bool stepShown(const std::u16string& line) const {
        const auto lines = stepLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // The ID Block sizes of the player on port 1, once the updater has let go of it.
    std::array<std::uint16_t, 4> diskSizesOnPlayer() {
        updater->shutdown();
        DEVICE_INFO d = waitFor("1", Msc, 30);
        EXPECT_EQ(d.type, Msc);
        EXPECT_EQ(CV_SwitchCorvUsb(d), 1);
        EXPECT_EQ(CV_WaitDevice(d, Loader, 20, 0), 1);
        return idBlockOn(d).diskSizesMB;
    }
};

TEST_F(Commands, AMaskRomPlayerIsRefusedByUpgradeAndRepairedIntoAFormattedDisk) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5)});
    const std::string img = image();
    writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + img + "\nDISK_VOLUME=PLAYER\n"));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(pumpUntil([&] { return view.text(IDC_DEVICE_NAME) == u"CV50 MaskRom"; }));
    updater->onUpgrade();
    EXPECT_EQ(shownBoxes().back().text, idsUtf8(102));
    EXPECT_FALSE(updater->busy());

    // No at the question starts nothing.
    answer = [](const sim::SimOs::ShownMessage&) { return os::MessageAnswer::No; };
    updater->onRepair();
    EXPECT_EQ(shownBoxes().back().text, idsUtf8(81));
    EXPECT_FALSE(updater->busy());
    EXPECT_FALSE(updater->commandRunning());
    EXPECT_TRUE(view.enabled(IDC_REPAIR));

    answer = [](const sim::SimOs::ShownMessage& m) {
        return m.buttons == os::MessageButtons::YesNo ? os::MessageAnswer::Yes
                                                      : os::MessageAnswer::Ok;
    };
    view.forget();
    updater->onRepair();
    EXPECT_TRUE(updater->busy());
    EXPECT_TRUE(view.busyRunning());
    EXPECT_TRUE(view.timerRunning(IDT_ELAPSED));
    for (int control : {IDC_UPGRADE, IDC_REPAIR, IDC_CHOOSE_IMAGE})
        EXPECT_FALSE(view.enabled(control)) << control;
    EXPECT_EQ(view.text(IDC_STATUS_LINE), ids(82));
    const int before = resultsHandled;
    ASSERT_TRUE(pumpUntil([&] { return resultsHandled > before; })) << logText();

    const sim::SimOs::ShownMessage done = shownBoxes().back();
    EXPECT_EQ(done.text, idsUtf8(20));
    EXPECT_EQ(done.caption, "CV50 Device Manager");
    EXPECT_EQ(done.icon, os::MessageIcon::Information);
    // Never switched: the steps of a player already in CorvUsb mode (the monitor may already
    // be reading the versions of the disk it became).
    std::vector<std::u16string> steps = stepLines();
    ASSERT_GE(steps.size(), 5u);
    steps.resize(5);
    EXPECT_EQ(steps, (std::vector<std::u16string>{ids(89), ids(90), ids(91), ids(92), ids(120)}));
    // The monitor kept still: nobody touched the status line while the command ran.
    EXPECT_EQ(view.textsOf(IDC_STATUS_LINE).front(), ids(82));
    EXPECT_EQ(view.textsOf(IDC_STATUS_LINE).at(1), u"");
    EXPECT_FALSE(view.textsOf(IDC_ELAPSED).empty());
    EXPECT_EQ(view.textsOf(IDC_ELAPSED).front().substr(0, 3), u"00:");
    // Back to idle.
    EXPECT_FALSE(view.busyRunning());
    EXPECT_EQ(view.busyResets(), 1);
    EXPECT_FALSE(view.timerRunning(IDT_ELAPSED));
    EXPECT_TRUE(view.enabled(IDC_CHOOSE_IMAGE));
    // The first the players' versions heard since the command began was the end clearing them.
    for (int control : {IDC_PLAYER_SOFTWARE, IDC_PLAYER_LOADER})
        EXPECT_EQ(view.textsOf(control).front(), u"") << control;
    EXPECT_EQ(view.text(IDC_ELAPSED), u"");

    // The monitor holds it afresh: a disk with the new versions, formatted with the label.
    ASSERT_TRUE(pumpUntil([&] {
        return view.text(IDC_PLAYER_SOFTWARE) == u"1.2.34" &&
               view.text(IDC_PLAYER_LOADER) == u"1.23";
    }));
    EXPECT_EQ(view.text(IDC_DEVICE_NAME), u"CV50 SDK");
    const auto formats = world->sim().formatRequests();
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_TRUE(formats[0].succeeded) << formats[0].error;
    EXPECT_EQ(formats[0].fileSystem, "FAT32");
    EXPECT_EQ(formats[0].label, "PLAYER");
    // The image's size record made the disks: the system disk as it is, the configuration
    // disk as large as the image asks.
    const auto sizes = diskSizesOnPlayer();
    EXPECT_EQ(sizes[0], 64);
    EXPECT_EQ(sizes[1], 16);
}

TEST_F(Commands, ADiskIsSwitchedAfterItsPauseAndUpgradedKeepingItsLoaderAfterwards) {
    startFlashed(Player(Mode::Msc).enumerateDelay(0.1).mountDelay(0.1));
    const std::string img = image();
    writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + img + "\n"));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(pumpUntil([&] {
        return view.text(IDC_PLAYER_SOFTWARE) == u"0.1.1" &&
               view.text(IDC_PLAYER_LOADER) == u"1.23";
    }));
    view.forget();
    // When the disk leaves the bus, in simulated time.
    std::atomic<bool> watching{true};
    std::atomic<std::uint64_t> left{0};
    std::thread watcher([&] {
        while (watching && left == 0) {
            const bool gone = world->sim().withWorld(
                [](sim::UsbWorld& w) { return !w.players().front()->onBus(); });
            if (gone) left = world->sim().tickMs();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const auto box = run(Command::Upgrade);
    watching = false;
    watcher.join();
    ASSERT_TRUE(box) << logText();
    EXPECT_EQ(box->text, idsUtf8(21));
    EXPECT_EQ(shownBoxes().at(shownBoxes().size() - 2).text, idsUtf8(88));

    std::u16string switching = ids(6);
    switching.replace(switching.find(u"%s"), 2, u"Corv USB");
    // The monitor may already be reading the versions of the loader it came back as.
    std::vector<std::u16string> steps = stepLines();
    ASSERT_GE(steps.size(), 5u);
    steps.resize(5);
    EXPECT_EQ(steps, (std::vector<std::u16string>{switching, ids(89), ids(90), ids(91), ids(92)}));
    // The disk was told to switch no sooner than 2000 ms after the switch was announced. No
    // upper bound: simulated time runs on with the host's own work (37 s of it once under the
    // thread sanitizer on a loaded machine).
    const std::uint64_t announced = view.firstTick(IDC_STEP_LINE, switching);
    ASSERT_GT(left, 0u);
    EXPECT_GE(left - announced, kSwitchPauseMs);
    EXPECT_EQ(view.textsOf(IDC_STATUS_LINE).front(), ids(44));

    // After the Upgrade's reset it answers as its loader, with the image on its disk.
    ASSERT_TRUE(pumpUntil([&] { return view.text(IDC_DEVICE_NAME) == u"Corv USB"; }));
    updater->shutdown();
    const DEVICE_INFO loader = waitFor("1", Loader);
    ASSERT_EQ(loader.type, Loader);
    EXPECT_TRUE(diskHoldsImage(loader, img));
}

TEST_F(Commands, AnImageWithoutSizeRecordGivesTheImageSizeAndTheFirstPartitionNumber) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5)});
    const std::string img = image("plain.img", false);
    writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + img + "\nPARTITION=8:3:2:1\n"));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(held());
    const auto box = run(Command::Repair);
    ASSERT_TRUE(box) << logText();
    EXPECT_EQ(box->text, idsUtf8(20));
    unsigned int imageMB = 0;
    std::string path = img;
    ASSERT_EQ(CV_GetImageSize(path.data(), imageMB), 1);
    const auto sizes = diskSizesOnPlayer();
    // X is the image size, given the system disk's margin; Y is the first number.
    EXPECT_EQ(sizes[0], imageMB + 10);
    EXPECT_EQ(sizes[1], 8);
}

TEST_F(Commands, RepairWithEraseIdbErasesFirstEvenADiskNotYetSwitched) {
    startFlashed(Player(Mode::Msc).enumerateDelay(0.5).mountDelay(0.2));
    writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + image() + "\nERASE_IDB=1\n"));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(held());
    view.forget();
    const auto box = run(Command::Repair);
    ASSERT_TRUE(box) << logText();
    EXPECT_EQ(box->text, idsUtf8(20));
    // The erase took it from disk to mask ROM: there was nothing left to switch, and the
    // boot code went in before the ID Blocks.
    EXPECT_EQ(stepLines().front(), ids(89));
    EXPECT_FALSE(stepShown(ids(6).substr(0, ids(6).find(u"%s"))));
    for (const std::u16string& line : stepLines()) EXPECT_EQ(line.find(u"Corv USB"), line.npos);
    EXPECT_NE(logText().find("Boot"), std::string::npos) << logText();
}

TEST_F(Commands, EveryResultEndsWithItsMessageAndTheAdviceWhereItHelps) {
    start({});
    writeSettings(settingsWith(""));
    ASSERT_TRUE(launch());
    struct Case {
        int mode, code, key;
        bool suffix;
    };
    const std::vector<Case> cases = {
        {0, 0, 21, false},    {1, 0, 20, false},    {0, -1, 111, true},   {1, -2, 112, true},
        {0, -3, 113, false},  {0, -4, 114, true},   {1, -5, 115, true},   {0, -6, 116, true},
        {0, -7, 101, true},   {1, -8, 117, true},   {0, -9, 118, true},   {1, -10, 119, true},
        {0, -11, 121, false}, {1, -12, 122, false}, {0, -13, 123, false}, {1, -14, 124, true},
        {0, -15, 101, true},  {1, 3, 101, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        updater->onResult(c.mode, c.code);
        const sim::SimOs::ShownMessage m = shownBoxes().back();
        EXPECT_EQ(m.text, idsUtf8(c.key) + (c.suffix ? idsUtf8(93) : ""));
        if (c.code == 0) {
            EXPECT_EQ(m.caption, "CV50 Device Manager");
            EXPECT_EQ(m.icon, os::MessageIcon::Information);
        } else {
            EXPECT_EQ(m.caption, idsUtf8(c.mode == 1 ? 54 : 53));
            EXPECT_EQ(m.icon, os::MessageIcon::Error);
        }
        EXPECT_FALSE(updater->busy());
    }
}

TEST_F(Commands, FailuresOfTheWorkerEndWithTheirResults) {
    struct Case {
        const char* name;
        Player player;
        bool flashed;  // the player was given a firmware before
        const char* settings;
        bool dropLoader;  // the extracted loader file is gone
        Command command;
        int key;
        bool suffix;
    };
    const std::vector<Case> cases = {
        {"the loader file is gone", Player(Mode::Loader), true, "", true,
         Command::Upgrade, 113, false},
        {"the player dies at its reset",
         Player(Mode::Loader).faults(Faults().neverReturnAt(1)), true, "",
         false, Command::Upgrade, 117, true},
        {"a loader without ID Blocks cannot be updated", Player(Mode::Loader), false,
         "", false, Command::Upgrade, 116, true},
        {"a disk without a volume cannot be switched",
         Player(Mode::Msc).neverMounts(), true, "", false, Command::Upgrade,
         111, true},
        {"the erase has no loader for the mask ROM", Player(Mode::MaskRom), false,
         "ERASE_IDB=1\n", true, Command::Repair, 124, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (updater) updater->shutdown();
        if (c.flashed)
            startFlashed(c.player);
        else
            start({c.player});
        writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + image() + "\n" + c.settings));
        ASSERT_TRUE(launch());
        ASSERT_TRUE(held());
        if (c.dropLoader)
            ASSERT_TRUE(
                std::filesystem::remove(base::hostPath(utf8FromUtf16(updater->extractedLoader()))));
        const auto box = run(c.command);
        ASSERT_TRUE(box) << logText();
        EXPECT_EQ(box->text, idsUtf8(c.key) + (c.suffix ? idsUtf8(93) : ""));
    }
}

TEST_F(Commands, APlayerUnknownAfterItsSwitchGetsTheShippedDriverAndIsUpgraded) {
    // A disk works with the system's own driver; its loader needs the CorvUsb one.
    const Player disk = Player(Mode::Msc).enumerateDelay(0.1).mountDelay(0.1);
    struct Case {
        const char* name;
        Player player;
        const char* install;  // the simulated PC's answer; null: the driver is there
        bool infThere;
        int key;
        bool suffix;
    };
    const std::vector<Case> cases = {
        {"it comes back as some other device",
         Player(disk).corvUsbIds(0x071b, 0x3299), nullptr, true, 112, true},
        {"no INF file", disk, "ok", false, 121, false},
        {"the installation fails", disk, "fail", true, 123, false},
        {"installed, asking for a restart", disk, "restart", true, 21, false},
        {"installed", disk, "ok", true, 21, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (updater) updater->shutdown();
        sim::testing::ScenarioBuilder pc;
        if (c.install) pc.set("corvUsbDriver", {{"installed", false}, {"install", c.install}});
        startFlashed(c.player, pc);
        std::filesystem::remove_all(program.path() + "/Driver");
        if (c.infThere) {
            std::filesystem::create_directories(program.path() + "/Driver");
            std::filesystem::copy_file(
                base::hostPath(os::current().programFolder() + "Driver\\corvusb50.inf"),
                program.path() + "/Driver/corvusb50.inf");
        }
        writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + image() + "\n"));
        ASSERT_TRUE(launch());
        ASSERT_TRUE(held());
        const auto box = run(Command::Upgrade);
        ASSERT_TRUE(box) << logText();
        EXPECT_EQ(box->text, idsUtf8(c.key) + (c.suffix ? idsUtf8(93) : "")) << logText();
    }
}

}  // namespace
}  // namespace cv50::updater
