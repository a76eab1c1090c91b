// Cross-checks with dosfstools and mtools: images the packer makes pass fsck.fat and list
// with mtools; images mkfs.fat and mcopy make read back through our reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "engine/flash/boot_head.h"
#include "fwpkg/packer.h"
#include "fwpkg/tests/fat_test_support.h"
#include "fwpkg/tests/host_tools.h"

namespace cv50::fwpkg {
namespace {

using namespace testing;
using sim::testing::readFile;
using sim::testing::writeFile;
namespace fs = std::filesystem;

class FatToolsTest : public ::testing::TestWithParam<int> {
protected:
    sim::testing::TempFolder temp;
    fs::path dir{temp.path()};
};

TEST_P(FatToolsTest, PackedImagePassesFsckListsWithMtoolsAndMd5sumAgrees) {
    flash::LoaderSpec spec;
    for (std::size_t i = 0; i < 4; ++i) spec.pieces[i] = samplePiece(flash::kHeadPieceOrder[i]);
    writeFile(dir / "CVBOOT.BIN", *flash::buildLoaderFile(spec));
    writeFile(dir / "firmware" / "Read Me First.txt", patternBytes(777, 1));
    writeFile(dir / "firmware" / "SYSTEM" / "font.bin", patternBytes(9000, 2));
    writeFile(dir / "firmware" / "SYSTEM" / "empty", {});

    ImagePackInput input;
    input.loaderFile = dir / "CVBOOT.BIN";
    input.folder = dir / "firmware";
    input.fat.fatType = GetParam();
    input.tail = {0x00010002, 64, 16};
    const fs::path image = dir / "fw.img";
    const PackedImage packed = packImage(input, image);
    ASSERT_EQ(fs::file_size(image), packed.totalBytes);

    const Shell fsck = run("fsck.fat -n -v " + shellQuoted(image));
    EXPECT_EQ(fsck.status, 0) << fsck.output;
    EXPECT_NE(fsck.output.find(std::to_string(GetParam()) + " bit entries"), std::string::npos)
        << fsck.output;

    const Shell list = run("MTOOLS_SKIP_CHECK=1 mdir -/ -i " + shellQuoted(image) + " ::");
    EXPECT_EQ(list.status, 0) << list.output;
    EXPECT_NE(list.output.find("Read Me First.txt"), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("font.bin"), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("CVBOOT"), std::string::npos) << list.output;

    const Shell copy = run("MTOOLS_SKIP_CHECK=1 mcopy -n -i " + shellQuoted(image) +
                           " ::/SYSTEM/font.bin " + shellQuoted(dir / "font.out"));
    EXPECT_EQ(copy.status, 0) << copy.output;
    EXPECT_EQ(readFile(dir / "font.out"), patternBytes(9000, 2));

    const Shell md5 = run("head -c " + std::to_string(packed.totalBytes - 32) + " " +
                          shellQuoted(image) + " | md5sum");
    ASSERT_EQ(md5.status, 0);
    EXPECT_EQ(md5.output.substr(0, 32), packed.checkValue);
    const std::vector<std::uint8_t> bytes = readFile(image);
    EXPECT_EQ(std::string(bytes.end() - 32, bytes.end()), packed.checkValue);
}

TEST_P(FatToolsTest, ReaderReadsWhatMkfsAndMcopyWrote) {
    const fs::path image = dir / "made.img";
    const int kib = GetParam() == 32 ? 40 * 1024 : GetParam() == 16 ? 8 * 1024 : 1024;
    // FAT16 needs small clusters to reach its cluster count at this size.
    const std::string clusters = GetParam() == 16 ? " -s 1" : "";
    const Shell mkfs = run("mkfs.fat -C -F " + std::to_string(GetParam()) + clusters +
                           " -n MADEBYMKFS " + shellQuoted(image) + " " + std::to_string(kib));
    ASSERT_EQ(mkfs.status, 0) << mkfs.output;
    writeFile(dir / "src" / "CVBOOT.BIN", patternBytes(12345, 5));
    writeFile(dir / "src" / "Sub Folder" / "a long name with spaces.dat", patternBytes(70000, 6));
    writeFile(dir / "src" / "Sub Folder" / "tiny", patternBytes(1, 7));
    const Shell copy =
        run("MTOOLS_SKIP_CHECK=1 mcopy -s -i " + shellQuoted(image) + " " +
            shellQuoted(dir / "src" / "CVBOOT.BIN") + " " + shellQuoted(dir / "src" / "Sub Folder") + " ::/");
    ASSERT_EQ(copy.status, 0) << copy.output;

    auto source = FileSource::open(image.string());
    ASSERT_TRUE(source);
    std::unique_ptr<FatVolume> volume;
    ASSERT_EQ(FatVolume::open(*source, volume), FatError::Ok);
    EXPECT_EQ(static_cast<int>(volume->geometry().type), GetParam());
    EXPECT_EQ(volume->geometry().label, "MADEBYMKFS");
    for (const auto& [path, bytes] : std::vector<std::pair<std::string, std::vector<std::uint8_t>>>{
             {"CVBOOT.BIN", patternBytes(12345, 5)},
             {"Sub Folder\\a long name with spaces.dat", patternBytes(70000, 6)},
             {"sub folder/TINY", patternBytes(1, 7)}}) {
        FatEntry entry;
        ASSERT_EQ(volume->find(path, entry), FatError::Ok) << path;
        std::vector<std::uint8_t> content;
        ASSERT_EQ(readAll(*volume, entry, content), FatError::Ok) << path;
        EXPECT_EQ(content, bytes) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Types, FatToolsTest, ::testing::Values(12, 16, 32));

}  // namespace
}  // namespace cv50::fwpkg
