// Images written by the packer's FAT writer and read back by the reader, for each type.
#include <gtest/gtest.h>

#include "fwpkg/tests/fat_test_support.h"

namespace cv50::fwpkg {
namespace {

using namespace testing;

FatNode sampleTree() {
    std::vector<FatNode> many;
    for (int i = 0; i < 40; ++i)  // long names: more than one cluster of directory entries
        many.push_back(file("track number " + std::to_string(i) + " of the demo.mp3",
                            patternBytes(100 + i, i)));
    return folder("", {file("CVBOOT.BIN", patternBytes(70000, 1)), file("empty.dat", {}),
                       file("Grüße aus Köln.txt", patternBytes(3, 9)),
                       folder("SYSTEM", {file("font.bin", patternBytes(5000, 3)),
                                         folder("deep", {file("leaf", patternBytes(512, 4))})}),
                       folder("Music Library", std::move(many))});
}

class FatRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(FatRoundTrip, EveryFileAndNameReadsBackAsWritten) {
    FatWriteOptions options;
    options.fatType = GetParam();
    options.label = "CV50 TEST";
    const std::vector<std::uint8_t> image = imageOf(sampleTree(), options);
    MemorySource source(image);
    std::unique_ptr<FatVolume> volume;
    ASSERT_EQ(FatVolume::open(source, volume), FatError::Ok);
    EXPECT_EQ(static_cast<int>(volume->geometry().type), GetParam());
    EXPECT_EQ(volume->geometry().label, "CV50 TEST");
    EXPECT_EQ(volume->geometry().totalSectors * 512, image.size());

    std::vector<FatEntry> root;
    ASSERT_EQ(volume->list(volume->root(), root), FatError::Ok);
    std::vector<std::string> names;
    for (const FatEntry& e : root) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"CVBOOT.BIN", "Grüße aus Köln.txt", "Music Library",
                                               "SYSTEM", "empty.dat"}));

    const std::function<void(const FatNode&, const std::string&)> check =
        [&](const FatNode& node, const std::string& at) {
            for (const FatNode& child : node.children) {
                const std::string path = at + "\\" + child.name;
                FatEntry entry;
                ASSERT_EQ(volume->find(path, entry), FatError::Ok) << path;
                EXPECT_EQ(entry.directory, child.directory) << path;
                if (child.directory) {
                    check(child, path);
                    continue;
                }
                std::vector<std::uint8_t> content;
                ASSERT_EQ(readAll(*volume, entry, content), FatError::Ok) << path;
                EXPECT_EQ(content, child.bytes) << path;
            }
        };
    check(sampleTree(), "");

    FatEntry entry;
    EXPECT_EQ(volume->find("system/DEEP/LEAF", entry), FatError::Ok)
        << "any case, either separator";
    EXPECT_EQ(volume->find("MUSICL~1\\TRACKN~1.MP3", entry), FatError::Ok) << "by 8.3 names";
    EXPECT_EQ(volume->find("SYSTEM\\missing", entry), FatError::NotFound);
    EXPECT_EQ(volume->find("CVBOOT.BIN\\x", entry), FatError::NotADirectory);
    std::vector<std::uint8_t> content;
    ASSERT_EQ(volume->find("SYSTEM", entry), FatError::Ok);
    EXPECT_EQ(readAll(*volume, entry, content), FatError::NotAFile);
}

INSTANTIATE_TEST_SUITE_P(Types, FatRoundTrip, ::testing::Values(12, 16, 32));

TEST(FatWriter, ChoosesTheTypeBySizeAndRefusesWhatCannotBeWritten) {
    MemorySource empty({});
    const std::vector<std::uint8_t> small = imageOf(folder("", {file("A", patternBytes(10, 1))}));
    MemorySource source(small);
    std::unique_ptr<FatVolume> volume;
    ASSERT_EQ(FatVolume::open(source, volume), FatError::Ok);
    EXPECT_EQ(volume->geometry().type, FatType::Fat12);
    EXPECT_LT(small.size(), 64u * 1024);

    const std::vector<std::uint8_t> bigger =
        imageOf(folder("", {file("A", patternBytes(20u << 20, 1))}));
    MemorySource bigSource(bigger);
    ASSERT_EQ(FatVolume::open(bigSource, volume), FatError::Ok);
    EXPECT_EQ(volume->geometry().type, FatType::Fat16);

    EXPECT_THROW(imageOf(folder("", {file("a.txt", {}), file("A.TXT", {})})), std::runtime_error);
    EXPECT_THROW(imageOf(folder("", {file("bad|name", {})})), std::runtime_error);
    FatWriteOptions options;
    options.label = "lower case";
    EXPECT_THROW(imageOf(folder("", {}), options), std::runtime_error);
    options = {};
    options.fatType = 15;
    EXPECT_THROW(imageOf(folder("", {}), options), std::runtime_error);
}

TEST(FatWriter, SameTreeGivesTheSameImage) {
    EXPECT_EQ(imageOf(sampleTree()), imageOf(sampleTree()));
}

}  // namespace
}  // namespace cv50::fwpkg
