// The production tool before and around a batch: its settings, its language texts, the
// checks of "升级", the partition text, and how the monitor binds players to slots.
#include "apps/batch/core/texts.h"
#include "apps/batch/tests/batch_fixture.h"

namespace cv50::batch::testing {
namespace {

using sim::testing::Json;
using sim::testing::Mode;
using sim::testing::Player;

class BatchStartTest : public BatchFixture {};

TEST_F(BatchStartTest, SettingsTakeTheirDefaultsAndKeepWhatTheyCanRead) {
    start({nullptr});
    struct Case {
        const char* file;
        std::function<void(const Settings&)> check;
    };
    const Case cases[] = {
        {"", [](const Settings& s) {
             EXPECT_TRUE(s.forceErase);
             EXPECT_EQ(s.corvUsbVid, 0x071B);
             EXPECT_EQ(s.corvUsbPid, 0x3228);
             EXPECT_EQ(s.corvMscPid, 0x3203);
             EXPECT_FALSE(s.logEnabled);
             EXPECT_EQ(s.language, "English");
         }},
        {"[DEVICE_ID]\nVID=071B\nPID=0x3201\n[MSC_ID]\nVID=07g1\nPID=zz\n", [](const Settings& s) {
             EXPECT_EQ(s.corvUsbVid, 0x071B);
             EXPECT_EQ(s.corvUsbPid, 0x3201);
             EXPECT_EQ(s.corvMscVid, 0x07);
             EXPECT_EQ(s.corvMscPid, 0x3203);  // no digits: the default
         }},
        {"[SYSTEM]\nLOG=enable\nFORCEERASE=0\nSUPPORTUSB11=1\nLANGUAGE=\nPARTITION="
         "1234567890:1234567890:1234567890:12\n",
         [](const Settings& s) {
             EXPECT_TRUE(s.logEnabled);
             EXPECT_FALSE(s.forceErase);
             EXPECT_TRUE(s.supportUsb11);
             EXPECT_EQ(s.language, "English");
             EXPECT_EQ(s.partition, "1234567890:1234567890:1234567");
         }},
    };
    for (const Case& c : cases) {
        std::ofstream(program.path() + "/setting.ini") << c.file;
        SCOPED_TRACE(c.file);
        c.check(LoadSettings(program.path() + "\\"));
    }
    std::filesystem::remove(program.path() + "/setting.ini");
    EXPECT_TRUE(LoadSettings(program.path() + "\\").opened);
    EXPECT_TRUE(std::filesystem::exists(program.path() + "/setting.ini"));
    EXPECT_EQ(std::filesystem::file_size(program.path() + "/setting.ini"), 0u);
}

TEST_F(BatchStartTest, TheShippedSampleSettingsNameThePlayersAndLogTheStation) {
    start({nullptr});
    std::filesystem::copy_file(CV50_SAMPLES_DIR "/CV50BatchUpgrade/setting.ini",
                               program.path() + "/setting.ini");
    const Settings s = LoadSettings(program.path() + "\\");
    EXPECT_EQ(s.corvUsbPid, 0x3201);
    EXPECT_EQ(s.corvMscPid, 0x3203);
    EXPECT_TRUE(s.forceErase);
    EXPECT_FALSE(s.supportUsb11);
    EXPECT_TRUE(s.logEnabled);
    EXPECT_EQ(s.diskVolume, "PLAYER");
    EXPECT_EQ(s.language, "English");
    EXPECT_EQ(s.partition, "");
    EXPECT_EQ(s.defaultImage, "");
}

TEST_F(BatchStartTest, TheLanguageIsMatchedExactlyAndItsTextsAreCheckedBeforeTheyFormat) {
    start({player(Mode::Msc)});
    writeLanguage({{44, "%s: no device"}});
    launch(defaultSettings("", "test"));
    EXPECT_EQ(tool->languageFile(), "");
    tool->chooseBootFile(loaderPath());
    tool->onText(IDC_IMAGE_PATH, image());
    tool->onUpgrade();
    EXPECT_TRUE(boxShown("")) << "no language file: the texts are empty";
    closeTool();

    launch();
    EXPECT_EQ(view.language(), tool->languageFile());
    EXPECT_NE(tool->languageFile(), "");
    tool->chooseBootFile(loaderPath());
    tool->onText(IDC_IMAGE_PATH, image());
    ASSERT_TRUE(bound(1));
    tool->onUpgrade();
    tool->onUpgrade();
    // A text that wants more than its caller gives is shown as it stands, and logged once.
    EXPECT_TRUE(boxShown("%s: no device"));
    const std::string logged = toolLog();
    const std::string refused = "ERROR:语言文件文本不合法(IDS_44)";
    EXPECT_NE(logged.find(refused), std::string::npos) << logged;
    EXPECT_EQ(logged.find(refused), logged.rfind(refused));
}

TEST_F(BatchStartTest, UpgradeRefusesWhatCannotStartABatch) {
    start({player(Mode::Msc)});
    launch();
    const std::string empty = files.path() + "/empty.img";
    std::ofstream(empty).close();
    const std::string odd = files.path() + "/odd.img";
    std::ofstream(odd) << std::string(3 * 1024 + 31, 'x');
    ASSERT_TRUE(bound(1));
    struct Case {
        std::function<void()> before;
        const char* box;
    };
    const Case cases[] = {
        {[] {}, "M40"},
        {[&] { tool->chooseBootFile(loaderPath()); }, "M41"},
        {[&] { tool->onText(IDC_IMAGE_PATH, empty); }, "M42"},
        {[&] { tool->onText(IDC_IMAGE_PATH, files.path() + "/missing.img"); }, "M42"},
        {[&] { tool->onText(IDC_IMAGE_PATH, odd); }, "M43"},
        {[&] { tool->onText(IDC_IMAGE_PATH, image()); }, "M44"},  // only a disk is attached
    };
    for (const Case& c : cases) {
        c.before();
        tool->onUpgrade();
        EXPECT_TRUE(boxShown(c.box)) << c.box;
        EXPECT_FALSE(tool->station().batchRunning()) << c.box;
    }
    EXPECT_TRUE(view.enabled(IDC_UPGRADE));
}

TEST_F(BatchStartTest, ThePartitionTextIsCheckedAndRaisedToTheImagesMinimum) {
    struct Case {
        const char* partition;
        std::uint32_t minimumMB;
        os::MessageAnswer answer;
        bool starts;
        std::uint16_t configMB, nextMB;  // the ID Block's disk sizes 1 and 2
    };
    const Case cases[] = {
        {"5:40", 8, os::MessageAnswer::Ok, true, 8, 40},
        {":5:", 0, os::MessageAnswer::Ok, true, 5, 0},
        {"5:40", 8, os::MessageAnswer::Cancel, false, 0, 0},
        {"1a", 0, os::MessageAnswer::Ok, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.partition);
        start({player(Mode::MaskRom)});
        answer = [a = c.answer](const sim::SimOs::ShownMessage&) { return a; };
        launch(defaultSettings(std::string("PARTITION=") + c.partition + "\n"));
        tool->chooseImage(image("p.img", c.minimumMB));
        ASSERT_TRUE(bound(1));
        tool->onUpgrade();
        EXPECT_EQ(boxShown(text::kUseMinimum), c.minimumMB > 0);
        EXPECT_EQ(boxShown(text::kBadPartition), std::string(c.partition) == "1a");
        EXPECT_EQ(tool->station().batchRunning(), c.starts);
        if (c.starts) {
            ASSERT_TRUE(batchEnds(1, 0)) << toolLog();
            const auto sizes = idBlockOn(waitFor("1", Loader)).diskSizesMB;
            EXPECT_EQ(sizes[1], c.configMB);
            EXPECT_EQ(sizes[2], c.nextMB);
        }
        closeTool();
        boxes.clear();
    }
}

TEST_F(BatchStartTest, TheSettingsDefaultsChooseTheImageTheDemoFolderAndWarnOfASmallSystemDisk) {
    cv50::testing::ImageSpec spec;
    spec.tail.systemDiskMB = 0;  // smaller than the image
    const std::string img = packImage("small-system.img", spec);
    start({player(Mode::MaskRom)});
    launch(defaultSettings("DEFAULT_IMAGE_FILE=" + img + "\nDEFAULT_DEMO_DIR=" + demoFolder() +
                           "\n"));
    EXPECT_EQ(view.text(IDC_IMAGE_PATH), img);
    EXPECT_EQ(view.text(IDC_BOOT_VERSION), "1.23");
    EXPECT_TRUE(view.enabled(IDC_DEMO_PATH));
    EXPECT_EQ(view.text(IDC_DEMO_PATH), files.path() + "/Demo");
    EXPECT_TRUE(boxShown("M86 1 0"));
    EXPECT_TRUE(toolLogged(text::kStarted));
    // Asked before a new image's boot replaces the chosen one; Cancel keeps it.
    answer = [](const sim::SimOs::ShownMessage& m) {
        return m.buttons == os::MessageButtons::OkCancel ? os::MessageAnswer::Cancel
                                                         : os::MessageAnswer::Ok;
    };
    const std::string boot = tool->bootParts().data;
    tool->chooseImage(image());
    EXPECT_TRUE(boxShown("M85"));
    EXPECT_EQ(view.text(IDC_IMAGE_PATH), files.path() + "/new.img");
    EXPECT_EQ(tool->bootParts().data, boot);
    // Closing removes the boot parts from the temporary folder.
    ASSERT_TRUE(tempHas("data.bin"));
    tool->requestClose();
    EXPECT_FALSE(tempHas("data.bin"));
    EXPECT_FALSE(tempHas("CVBOOT.BIN"));
}

TEST_F(BatchStartTest, APlayerBeyond16WaitsForASlotAndAReturningOneTakesTheLowestFree) {
    // At 20 s 1 and 3 leave, at 30 s 17 leaves, at 40 s 3 comes back.
    std::vector<Json> ports;
    for (int i = 1; i <= 17; ++i) {
        Player p = player(Mode::Loader);
        if (i == 1 || i == 3) p.unplugAt(20);
        if (i == 3) p.plugAt(40);
        if (i == 17) p.unplugAt(30);
        ports.push_back(p);
    }
    start(ports, 10);
    launch();
    ASSERT_TRUE(bound(16));
    for (int i = 0; i < kSlots; ++i) EXPECT_EQ(view.text(IDC_LAYER_CELL + i), std::to_string(i + 1));
    EXPECT_FALSE(toolLogged("找到新设备<Layer:17>"));

    ASSERT_TRUE(pumpUntil([&] { return view.text(IDC_LAYER_CELL) == "17"; })) << toolLog();
    ASSERT_TRUE(pumpUntil([&] { return view.text(IDC_LAYER_CELL + 2).empty(); }));
    EXPECT_TRUE(toolLogged("找到新设备<Layer:17>"));
    EXPECT_TRUE(toolLogged("掉线设备<layer:3>"));
    EXPECT_EQ(view.colour(IDC_NUMBER_CELL + 2), colour::kAbsent);

    ASSERT_TRUE(pumpUntil([&] { return view.text(IDC_LAYER_CELL) == "3"; })) << toolLog();
    EXPECT_EQ(view.text(IDC_LAYER_CELL + 2), "");
    EXPECT_EQ(view.colour(IDC_NUMBER_CELL), colour::kLoader);
}

TEST_F(BatchStartTest, SwitchTurnsTheDisksIntoLoadersThatTheMonitorBindsAgain) {
    start({player(Mode::Msc), player(Mode::MaskRom)});
    launch();
    ASSERT_TRUE(pumpUntil([&] {
        return view.colour(IDC_NUMBER_CELL) == colour::kMsc &&
               view.colour(IDC_NUMBER_CELL + 1) == colour::kMaskRom;
    }));
    tool->onSwitch();
    ASSERT_TRUE(pumpUntil([&] {
        const PortSlot s = tool->station().slot(0);
        return !s.absent && s.device.type == Loader;
    }));
    EXPECT_EQ(view.colour(IDC_NUMBER_CELL), colour::kLoader);
    EXPECT_EQ(view.text(IDC_LAYER_CELL), "1");
}

}  // namespace
}  // namespace cv50::batch::testing
