// The updater's start, its image check and its device monitor, against simulated players.
#include "apps/updater/tests/updater_fixture.h"

namespace cv50::updater {
namespace {

using base::utf16FromUtf8;
using sim::testing::Mode;
using sim::testing::Player;
using testing::UpdaterFixture;

class UpdaterStart : public UpdaterFixture {};

TEST_F(UpdaterStart, WithoutASettingsFileTheDefaultsFindNoPlayer) {
    start({Player(Mode::Loader)});
    ASSERT_TRUE(launch());
    EXPECT_TRUE(std::filesystem::exists(program.path() + "/setting.ini"));
    EXPECT_EQ(updater->windowTitle(), u"CV50 Device Manager v2.22 ");
    EXPECT_EQ(updater->aboutItem(), u"&About CV50 Device Manager...");
    EXPECT_EQ(updater->aboutTitle(), ids(83) + u"CV50 Device Manager");
    EXPECT_EQ(updater->aboutVersion(), ids(84) + u" v2.22 ");
    EXPECT_EQ(updater->splashText(), u"Version:  v2.22 ");
    EXPECT_EQ(updater->imageFilter(), u"CV50 Firmware(*.IMG)|*.IMG|All Files(*.*)|*.*||");
    EXPECT_FALSE(view.enabled(IDC_UPGRADE));
    EXPECT_FALSE(view.enabled(IDC_REPAIR));
    // The match numbers are 0: the loader on port 1 is nobody's.
    ASSERT_TRUE(statusIs(38));
    world->sim().clock().sleepMs(1000);
    EXPECT_TRUE(statusIs(38));
    EXPECT_EQ(updater->foundCount(), 0);
    EXPECT_TRUE(view.textsOf(IDC_DEVICE_NAME).empty());
}

TEST_F(UpdaterStart, ASettingsFileThatCannotBeMadeEndsTheProgramWithItsBox) {
    start({});
    world->sim().setMessageAnswerer([this](const sim::SimOs::ShownMessage& m) {
        std::lock_guard lock(boxesMutex);
        boxes.push_back(m);
        return os::MessageAnswer::Ok;
    });
    updater = std::make_unique<Updater>(view, utf16FromUtf8(program.path() + "/none\\"));
    EXPECT_FALSE(updater->loadSettings());
    const auto shown = shownBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Failure to Load setting!");
    EXPECT_EQ(shown[0].caption, "ERROR");
    EXPECT_EQ(shown[0].icon, os::MessageIcon::Error);
}

TEST_F(UpdaterStart, TheConfiguredImageIsCheckedAndItsVersionsShown) {
    start({});
    const std::string img = image();
    writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + img + "\nLANGUAGE=english\n"));
    ASSERT_TRUE(launch());
    const std::vector<std::u16string> status = view.textsOf(IDC_STATUS_LINE);
    ASSERT_GE(status.size(), 2u);
    EXPECT_EQ(status[0], ids(40));
    EXPECT_EQ(status[1], ids(41));
    EXPECT_EQ(view.text(IDC_FIRMWARE_PATH), utf16FromUtf8(img));
    EXPECT_EQ(view.text(IDC_IMAGE_LOADER), u"1.23");
    EXPECT_EQ(view.text(IDC_IMAGE_SOFTWARE), u"1.2.34");
    EXPECT_EQ(updater->firmwarePath(), utf16FromUtf8(img));
    const std::u16string loader = updater->extractedLoader();
    EXPECT_EQ(loader, utf16FromUtf8(temp.path() + "\\CVBOOT.BIN"));
    EXPECT_TRUE(tempHas("CVBOOT.BIN"));
    EXPECT_EQ(boxCount(), 0u);
    // The exit deletes it.
    updater->shutdown();
    EXPECT_FALSE(tempHas("CVBOOT.BIN"));
}

TEST_F(UpdaterStart, AMissingImageIsWarnedAboutAndARefusedOneLeavesNothingOnScreen) {
    start({});
    const std::string missing = files.path() + "/gone.img";
    writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + missing + "\n"));
    ASSERT_TRUE(launch());
    ASSERT_EQ(boxCount(), 1u);
    std::string warning = idsUtf8(52);
    warning.replace(warning.find("%s"), 2, missing);
    EXPECT_EQ(shownBoxes()[0].text, warning);
    EXPECT_EQ(shownBoxes()[0].caption, "CV50 Device Manager");
    EXPECT_EQ(shownBoxes()[0].icon, os::MessageIcon::Warning);
    EXPECT_TRUE(updater->firmwarePath().empty());
    EXPECT_EQ(view.text(IDC_FIRMWARE_PATH), u"");

    // A good image chosen, then a file that is no image: the good one is gone too.
    const std::string good = image();
    updater->chooseImage(utf16FromUtf8(good));
    EXPECT_EQ(view.text(IDC_FIRMWARE_PATH), utf16FromUtf8(good));
    EXPECT_EQ(view.text(IDC_IMAGE_SOFTWARE), u"1.2.34");
    std::ofstream(files.path() + "/text.img") << "not an image";
    updater->chooseImage(utf16FromUtf8(files.path() + "/text.img"));
    EXPECT_TRUE(boxShown(idsUtf8(104)));
    EXPECT_EQ(shownBoxes().back().icon, os::MessageIcon::Error);
    EXPECT_TRUE(updater->firmwarePath().empty());
    EXPECT_TRUE(updater->extractedLoader().empty());
    EXPECT_EQ(view.text(IDC_FIRMWARE_PATH), u"");
    EXPECT_EQ(view.text(IDC_IMAGE_LOADER), u"N/A");
    EXPECT_EQ(view.text(IDC_IMAGE_SOFTWARE), u"N/A");

    // A path the library's narrow calls cannot take.
    updater->chooseImage(u"C:\\" + std::u16string(1, char16_t(0xD800)) + u".img");
    EXPECT_TRUE(boxShown(idsUtf8(103)));

    // Without a size record the image is still taken.
    updater->chooseImage(utf16FromUtf8(image("plain.img", false)));
    EXPECT_EQ(updater->firmwarePath(), utf16FromUtf8(files.path() + "/plain.img"));
    EXPECT_EQ(view.text(IDC_IMAGE_LOADER), u"1.23");
}

class Monitor : public UpdaterFixture {};

TEST_F(Monitor, ADiskIsHeldWithItsNameAndVersionsEvenWhenItsVolumeMountsLate) {
    start({Player(Mode::Msc)
               .mountDelay(30)
               .absent()
               .plugAt(1, Mode::Msc)
               .loaderVersion(1, 32)
               .systemVersion(258, 52)});
    writeSettings(
        "[DEVICE_ID]\nVID=0x071B\nPID=0x3201\n[MSC_ID]\nVID=0x071B\nPID=0x3203\n"
        "NAME=My Player\n");
    ASSERT_TRUE(launch());
    ASSERT_TRUE(pumpUntil([&] {
        return view.text(IDC_PLAYER_SOFTWARE) == u"1.2.34" &&
               view.text(IDC_PLAYER_LOADER) == u"1.20";
    }));
    EXPECT_EQ(view.text(IDC_DEVICE_NAME), u"My Player");
    EXPECT_EQ(view.text(IDC_STATUS_LINE), ids(30).replace(ids(30).find(u"%s"), 2, u"My Player"));
    EXPECT_EQ(view.text(IDC_STEP_LINE), u"");
    EXPECT_EQ(view.textsOf(IDC_STEP_LINE).front(), ids(31));
    EXPECT_TRUE(view.enabled(IDC_UPGRADE));
    EXPECT_TRUE(view.enabled(IDC_REPAIR));
    EXPECT_EQ(updater->foundCount(), 1);
    // Announced once: the late volume only brought the versions.
    EXPECT_EQ(view.textsOf(IDC_DEVICE_NAME).size(), 1u);
    EXPECT_GE(view.firstTick(IDC_PLAYER_SOFTWARE, u"1.2.34"),
              view.firstTick(IDC_DEVICE_NAME, u"My Player") + 2000);
}

TEST_F(Monitor, AMaskRomPlayerShowsNoVersionsAndLeavingEmptiesTheScreen) {
    start({Player(Mode::MaskRom)});
    writeSettings(settingsWith(""));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(announced(u"CV50 MaskRom"));
    EXPECT_EQ(view.text(IDC_PLAYER_SOFTWARE), u"N/A");
    EXPECT_EQ(view.text(IDC_PLAYER_LOADER), u"N/A");
    EXPECT_TRUE(view.enabled(IDC_REPAIR));
    unplug(0);
    EXPECT_TRUE(pumpUntil([&] {
        return view.text(IDC_STATUS_LINE) == ids(38) && view.text(IDC_DEVICE_NAME).empty() &&
               !view.enabled(IDC_UPGRADE) && !view.enabled(IDC_REPAIR) &&
               view.text(IDC_PLAYER_LOADER).empty();
    }));
}

TEST_F(Monitor, TwoPlayersAreRefusedAndTheOneLeftIsHeldAfresh) {
    start({Player(Mode::Loader), Player(Mode::Loader).absent()});
    writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + image() + "\n"));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(held());
    EXPECT_EQ(view.text(IDC_DEVICE_NAME), u"Corv USB");
    // A second one comes.
    plug(1, sim::PlayerMode::Loader);
    EXPECT_TRUE(pumpUntil([&] {
        return view.text(IDC_STATUS_LINE) == ids(28) && view.text(IDC_STEP_LINE) == ids(29) &&
               view.text(IDC_DEVICE_NAME).empty() && !view.enabled(IDC_UPGRADE) &&
               !view.enabled(IDC_REPAIR) && view.text(IDC_PLAYER_LOADER).empty();
    }));
    EXPECT_EQ(updater->foundCount(), 2);
    // Found count first: the device held before does not matter.
    for (Command c : {Command::Upgrade, Command::Repair}) {
        c == Command::Upgrade ? updater->onUpgrade() : updater->onRepair();
        EXPECT_EQ(shownBoxes().back().text, idsUtf8(109));
        EXPECT_EQ(shownBoxes().back().icon, os::MessageIcon::Warning);
        EXPECT_FALSE(updater->busy());
    }
    // It leaves: the first, held all along, is announced again and can be upgraded.
    view.forget();
    unplug(1);
    ASSERT_TRUE(announced(u"Corv USB"));
    EXPECT_TRUE(view.enabled(IDC_UPGRADE));
    EXPECT_TRUE(view.enabled(IDC_REPAIR));
    EXPECT_EQ(view.text(IDC_STATUS_LINE), ids(30).replace(ids(30).find(u"%s"), 2, u"Corv USB"));
    EXPECT_EQ(view.text(IDC_STEP_LINE), u"");
}

TEST_F(Monitor, AHostileTextIsShownAsItStandsAndLogged) {
    // The file of a language whose texts were written carelessly, or on purpose.
    std::ofstream(program.path() + "/Language/Careless.ini", std::ios::binary)
        << "[Setting]\nLanguage=Careless\n[String]\nIDS_30=%s%s%s%n\n";
    start({Player(Mode::Loader)});
    writeSettings(settingsWith("[SYSTEM]\nLANGUAGE=careless\n"));
    ASSERT_TRUE(launch());
    EXPECT_TRUE(pumpUntil([&] { return view.text(IDC_STATUS_LINE) == u"%s%s%s%n [Corv USB]"; }))
        << base::utf8FromUtf16(view.text(IDC_STATUS_LINE));
    EXPECT_TRUE(logged("Error:IDS_30 \"%s%s%s%n\" is not used as a format: %n (at 6)"))
        << logText();
}

TEST_F(Monitor, NoPlayerRefusesBothCommands) {
    start({});
    writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + image() + "\n"));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(statusIs(38));
    updater->onUpgrade();
    EXPECT_EQ(shownBoxes().back().text, idsUtf8(110));
    updater->onRepair();
    EXPECT_EQ(shownBoxes().back().text, idsUtf8(110));
    EXPECT_FALSE(updater->busy());
    EXPECT_FALSE(updater->commandRunning());
}

TEST_F(Monitor, TheExitAsksAccordingToWhatRunsAndNoKeepsTheProgram) {
    start({Player(Mode::Loader)});
    writeSettings(settingsWith("[SYSTEM]\nFIRMWARE=" + image() + "\n"));
    ASSERT_TRUE(launch());
    answer = [](const sim::SimOs::ShownMessage&) { return os::MessageAnswer::No; };
    EXPECT_FALSE(updater->confirmExit());
    EXPECT_EQ(shownBoxes().back().text, idsUtf8(50));
    EXPECT_EQ(shownBoxes().back().buttons, os::MessageButtons::YesNo);
    EXPECT_EQ(shownBoxes().back().icon, os::MessageIcon::Warning);
    answer = [](const sim::SimOs::ShownMessage&) { return os::MessageAnswer::Yes; };
    EXPECT_TRUE(updater->confirmExit());

    ASSERT_TRUE(held());
    updater->onUpgrade();
    ASSERT_TRUE(updater->commandRunning());
    answer = [](const sim::SimOs::ShownMessage&) { return os::MessageAnswer::No; };
    EXPECT_FALSE(updater->confirmExit());
    EXPECT_EQ(shownBoxes().back().text, idsUtf8(49));
    EXPECT_TRUE(updater->commandRunning());
    answer = [](const sim::SimOs::ShownMessage& m) {
        return m.buttons == os::MessageButtons::YesNo ? os::MessageAnswer::Yes
                                                      : os::MessageAnswer::Ok;
    };
    // Yes: the window goes, and the player is left only once the worker is done with it.
    EXPECT_TRUE(updater->confirmExit());
    updater->shutdown();
    EXPECT_EQ(waitFor("1", Loader).type, Loader);
    EXPECT_FALSE(tempHas("CVBOOT.BIN"));
}

}  // namespace
}  // namespace cv50::updater
