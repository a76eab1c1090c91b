// The updater's start on hostile settings and language files: it starts, with what the file
// holds where it can be read and with its defaults elsewhere.
#include "apps/updater/tests/updater_fixture.h"
#include "sim/testing/hostile_files.h"

namespace cv50::updater {
namespace {

using sim::testing::HostileFile;
using Reads = HostileFile::Reads;

class UpdaterHostileFiles : public testing::UpdaterFixture {
protected:
    // The updater's start up to its texts, as the dialog makes it.
    void load() {
        if (updater) updater->shutdown();
        updater = std::make_unique<Updater>(view, programFolder());
        ASSERT_TRUE(updater->loadSettings());
    }
};

TEST_F(UpdaterHostileFiles, SettingsFilesGiveTheirValuesOrTheDefaults) {
    start({});
    const std::string good =
        settingsWith("[SYSTEM]\nAPPTITLE=Hostile Station\nIMAGE_EXT_NAME=BIN\nLANGUAGE=English\n");
    for (const HostileFile& h :
         sim::testing::hostileFiles(good, sim::testing::kHostileProgramLineLength)) {
        SCOPED_TRACE(h.kind);
        writeSettings(h.bytes);
        ASSERT_NO_FATAL_FAILURE(load());
        switch (h.reads) {
            case Reads::Good:
                EXPECT_EQ(updater->windowTitle(), u"Hostile Station v2.22 ");
                EXPECT_EQ(updater->imageFilter(),
                          u"CV50 Firmware(*.BIN)|*.BIN|All Files(*.*)|*.*||");
                EXPECT_NE(updater->languageFile(), u"");
                break;
            case Reads::None:
                EXPECT_EQ(updater->windowTitle(), u"CV50 Device Manager v2.22 ");
                // The default language is English, which the folder has.
                EXPECT_NE(updater->languageFile(), u"");
                break;
            case Reads::LongValues:
                // Cut to the 260-unit buffer; the language name to its 101 matches nothing.
                EXPECT_EQ(updater->appTitle(), u"Hostile Station" + std::u16string(259 - 15, u'A'));
                EXPECT_EQ(updater->languageFile(), u"");
                break;
        }
    }
}

TEST_F(UpdaterHostileFiles, LanguageFilesGiveTheirTextsOrNone) {
    start({});
    writeSettings(settingsWith("[SYSTEM]\nLANGUAGE=English\n"));
    const std::string good =
        "[Setting]\nLanguage=English\n[String]\nIDS_39=Hostile %s\nIDS_83=About:\n";
    for (const HostileFile& h :
         sim::testing::hostileFiles(good, sim::testing::kHostileProgramLineLength)) {
        SCOPED_TRACE(h.kind);
        std::ofstream(program.path() + "/Language/English.ini", std::ios::binary) << h.bytes;
        ASSERT_NO_FATAL_FAILURE(load());
        if (h.reads == Reads::Good) {
            EXPECT_EQ(updater->aboutItem(), u"Hostile CV50 Device Manager");
            EXPECT_EQ(updater->aboutTitle(), u"About:CV50 Device Manager");
        } else {
            // Its name is missing, or too long to be "English": no language file, no texts.
            EXPECT_EQ(updater->languageFile(), u"");
            EXPECT_EQ(updater->aboutItem(), u"");
        }
    }
}

}  // namespace
}  // namespace cv50::updater
