// Volumes formatted and filled by the editor, judged by dosfstools and mtools.
#include <gtest/gtest.h>

#include <filesystem>

#include "fwpkg/fat_editor.h"
#include "fwpkg/memory_sector_device.h"
#include "fwpkg/sector_device_io.h"
#include "fwpkg/tests/fat_test_support.h"
#include "fwpkg/tests/host_tools.h"

namespace cv50::fwpkg {
namespace {

using namespace testing;
using sim::testing::readFile;
using sim::testing::writeFile;
namespace fs = std::filesystem;

class FatEditorTools : public ::testing::Test {
protected:
    fs::path save(MemorySectorDevice& device) {
        const fs::path image = dir / "volume.img";
        std::string error;
        EXPECT_TRUE(saveDeviceImage(device, image.string(), error)) << error;
        return image;
    }
    Shell fsck(const fs::path& image) { return run("fsck.fat -n -v " + shellQuoted(image)); }
    Shell mtools(const std::string& command) { return run("MTOOLS_SKIP_CHECK=1 " + command); }
    sim::testing::TempFolder temp;
    fs::path dir{temp.path()};
};

TEST_F(FatEditorTools, FreshVolumePassesFsckAndShowsItsLabel) {
    MemorySectorDevice device(100 * 2048);
    Fat32FormatOptions options;
    options.label = "CV50 DEMO";
    ASSERT_TRUE(formatFat32(device, options).ok);
    const fs::path image = save(device);
    const Shell check = fsck(image);
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find("32 bit entries"), std::string::npos) << check.output;
    const Shell label = mtools("mlabel -s -i " + shellQuoted(image) + " ::");
    EXPECT_EQ(label.status, 0) << label.output;
    EXPECT_NE(label.output.find("CV50 DEMO"), std::string::npos) << label.output;
}

TEST_F(FatEditorTools, CopiedFoldersAndFilesPassFsckAndReadBackThroughMtools) {
    // Host files: long names, nested folders, a file of several clusters, an empty one.
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
        {"CVBOOT.BIN", patternBytes(12345, 1)},
        {"Read Me First.txt", patternBytes(777, 2)},
        {"empty file", {}},
        {"Music/Album One/01 - Opening Track.mp3", patternBytes(70000, 3)},
        {"Music/Album One/cover.jpg", patternBytes(1024, 4)},
        {"Music/Grüße aus Köln.txt", patternBytes(33, 5)},
        {"SYSTEM/deep/deeper/leaf", patternBytes(512, 6)},
    };
    for (const auto& [path, bytes] : files) writeFile(dir / "Demo" / path, bytes);
    writeFile(dir / "replacement.txt", patternBytes(3000, 7));

    MemorySectorDevice device(64 * 2048);
    Fat32FormatOptions options;
    options.label = "PLAYER";
    ASSERT_TRUE(formatFat32(device, options).ok);
    std::unique_ptr<FatEditor> editor;
    ASSERT_TRUE(FatEditor::open(device, editor).ok);
    FatResult r = editor->addHostFolder(dir / "Demo", "");
    ASSERT_TRUE(r.ok) << r.message;
    r = editor->addHostFile(dir / "replacement.txt", "read me first.TXT");
    ASSERT_TRUE(r.ok) << r.message;
    r = editor->addHostFolder(dir / "Demo" / "SYSTEM", "Copies\\of system");
    ASSERT_TRUE(r.ok) << r.message;

    const fs::path image = save(device);
    const Shell check = fsck(image);
    EXPECT_EQ(check.status, 0) << check.output;

    const Shell list = mtools("mdir -/ -a -i " + shellQuoted(image) + " ::");
    EXPECT_EQ(list.status, 0) << list.output;
    for (const char* name : {"CVBOOT", "Read Me First.txt", "empty file", "01 - Opening Track.mp3",
                             "Grüße aus Köln.txt", "leaf", "of system"})
        EXPECT_NE(list.output.find(name), std::string::npos) << name << "\n" << list.output;

    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> expected = files;
    expected[1].second = patternBytes(3000, 7);  // replaced under another spelling
    expected.push_back({"Copies/of system/deep/deeper/leaf", patternBytes(512, 6)});
    for (const auto& [path, bytes] : expected) {
        const fs::path out = dir / "out.bin";
        fs::remove(out);
        const Shell copy = mtools("mcopy -n -i " + shellQuoted(image) + " " +
                                  shellQuoted("::/" + path) + " " + shellQuoted(out));
        EXPECT_EQ(copy.status, 0) << path << "\n" << copy.output;
        EXPECT_EQ(readFile(out), bytes) << path;
    }
    const Shell label = mtools("mlabel -s -i " + shellQuoted(image) + " ::");
    EXPECT_NE(label.output.find("PLAYER"), std::string::npos) << label.output;
}

}  // namespace
}  // namespace cv50::fwpkg
