// Host folders the editor copies from that a POSIX host can build: a pipe among the files,
// a folder linked into itself.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "fwpkg/tests/fat_volume_fixture.h"
#include "sim/testing/test_files.h"

namespace cv50::fwpkg {
namespace {

using namespace testing;

TEST(FatEditor, AHostFolderCopyStopsAtTheFirstFailureAndEndsOnALinkLoop) {
    namespace fs = std::filesystem;
    const sim::testing::TempFolder temp;
    const fs::path host = temp.path();
    sim::testing::writeTextFile(host / "plain" / "a.txt", "first");
    ASSERT_EQ(::mkfifo((host / "plain" / "b pipe").c_str(), 0600), 0);
    sim::testing::writeTextFile(host / "plain" / "c.txt", "never reached");
    fs::create_directory_symlink(temp.makeFolder("loop"), host / "loop" / "again");

    Volume v(40 * kMiB);
    auto editor = v.editor();
    FatResult r = editor->addHostFolder(host / "plain", "copy");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("b pipe: not a file"), std::string::npos) << r.message;
    EXPECT_EQ(v.content("copy\\a.txt"), (std::vector<std::uint8_t>{'f', 'i', 'r', 's', 't'}));
    EXPECT_EQ(v.content("copy\\c.txt"), std::nullopt);

    EXPECT_FALSE(editor->addHostFolder(host / "loop", "loop").ok);
    const auto [fsInfoFree, counted] = v.freeCounts();
    EXPECT_EQ(fsInfoFree, counted);
}

}  // namespace
}  // namespace cv50::fwpkg
