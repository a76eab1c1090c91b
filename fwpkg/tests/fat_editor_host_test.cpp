// Host folders the editor copies from that a POSIX host can build: a pipe among the files,
// a folder linked into itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fwpkg/tests/fat_volume_fixture.h"

namespace cv50::fwpkg {
namespace {

using namespace testing;

TEST(FatEditor, AHostFolderCopyStopsAtTheFirstFailureAndEndsOnALinkLoop) {
    namespace fs = std::filesystem;
    const fs::path host = fs::temp_directory_path() / ("cv50-editor-" + std::to_string(::getpid()));
    fs::create_directories(host / "plain");
    std::ofstream(host / "plain" / "a.txt") << "first";
    ASSERT_EQ(::mkfifo((host / "plain" / "b pipe").c_str(), 0600), 0);
    std::ofstream(host / "plain" / "c.txt") << "never reached";
    fs::create_directories(host / "loop");
    fs::create_directory_symlink(host / "loop", host / "loop" / "again");

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
    fs::remove_all(host);
}

}  // namespace
}  // namespace cv50::fwpkg
