// The production tool's start on hostile settings and language files: it starts, with what
// the file holds where it can be read and with its defaults elsewhere.
#include "apps/batch/tests/batch_fixture.h"
#include "sim/testing/hostile_files.h"

namespace cv50::batch::testing {
namespace {

using sim::testing::HostileFile;
using Reads = HostileFile::Reads;

class BatchHostileFiles : public BatchFixture {};

TEST_F(BatchHostileFiles, SettingsFilesGiveTheirValuesOrTheDefaults) {
    start({nullptr});
    const std::string good = defaultSettings("DISK_VOLUME=STATION\nPARTITION=10:20\n");
    for (const HostileFile& h :
         sim::testing::hostileFiles(good, sim::testing::kHostileProgramLineLength)) {
        SCOPED_TRACE(h.kind);
        launch(h.bytes);
        const Settings& s = tool->settings();
        EXPECT_TRUE(s.opened);
        switch (h.reads) {
            case Reads::Good:
                EXPECT_EQ(s.diskVolume, "STATION");
                EXPECT_EQ(s.partition, "10:20");
                EXPECT_EQ(s.corvUsbPid, 0x3201);
                EXPECT_TRUE(s.logEnabled);
                EXPECT_NE(tool->languageFile(), "");
                break;
            case Reads::None:
                EXPECT_EQ(s.diskVolume, "");
                EXPECT_EQ(s.corvUsbPid, 0x3228);
                EXPECT_FALSE(s.logEnabled);
                EXPECT_EQ(s.language, "English");
                EXPECT_EQ(tool->languageFile(), "");
                break;
            case Reads::LongValues:
                // Each cut to its buffer; "ENABLE" and the language's name no longer match.
                EXPECT_EQ(s.diskVolume, "STATION" + std::string(259 - 7, 'A'));
                EXPECT_EQ(s.partition, "10:20" + std::string(29 - 5, 'A'));
                EXPECT_FALSE(s.logEnabled);
                EXPECT_EQ(s.language.size(), 99u);
                EXPECT_EQ(tool->languageFile(), "");
                break;
        }
        closeTool();
    }
}

TEST_F(BatchHostileFiles, LanguageFilesGiveTheirTextsOrNone) {
    start({nullptr});
    std::filesystem::create_directories(program.path() + "/Language");
    const std::string good = "[Setting]\nLanguage=Test\n[String]\nIDS_40=Choose a boot file\n";
    for (const HostileFile& h :
         sim::testing::hostileFiles(good, sim::testing::kHostileProgramLineLength)) {
        SCOPED_TRACE(h.kind);
        sim::testing::writeTextFile(program.path() + "/Language/test.ini", h.bytes);
        launch();
        // Upgrade without a boot file: the box says so in the language's words, or says
        // nothing when no language file was taken.
        tool->onUpgrade();
        if (h.reads == Reads::Good) {
            EXPECT_NE(tool->languageFile(), "");
            EXPECT_TRUE(boxShown("Choose a boot file"));
        } else {
            EXPECT_EQ(tool->languageFile(), "");
            EXPECT_TRUE(boxShown(""));
        }
        closeTool();
        std::lock_guard lock(boxesMutex);
        boxes.clear();
    }
}

}  // namespace
}  // namespace cv50::batch::testing
