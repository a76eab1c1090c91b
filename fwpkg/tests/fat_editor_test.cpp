// FAT32 format and in-place edits on a device in memory, read back with the reader.
#include "fwpkg/fat_editor.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/byte_order.h"
#include "fwpkg/sector_device_io.h"
#include "fwpkg/tests/fat_volume_fixture.h"

namespace cv50::fwpkg {
namespace {

using namespace testing;

TEST(Fat32Format, ClusterSizeFollowsTheVolumeSizeAndTooSmallDevicesAreRefused) {
    struct Case {
        std::uint64_t sectors;
        std::uint32_t clusterBytes;  // 0: refused
    };
    for (const Case c :
         {Case{1 * kMiB, 0}, Case{32 * kMiB, 0}, Case{33 * kMiB, 512}, Case{64 * kMiB, 512},
          // Above 64 MiB 1 KiB clusters would leave too few: 512 it stays.
          Case{64 * kMiB + 100, 512}, Case{100 * kMiB, 1024}, Case{200 * kMiB, 2048},
          Case{1024 * kMiB, 4096}, Case{10240 * kMiB, 8192}, Case{20480 * kMiB, 16384},
          Case{40960 * kMiB, 32768}}) {
        SCOPED_TRACE(c.sectors);
        MemorySectorDevice device(c.sectors);
        Fat32FormatOptions options;
        options.label = "SIZED";
        const FatResult r = formatFat32(device, options);
        if (c.clusterBytes == 0) {
            EXPECT_FALSE(r.ok);
            EXPECT_NE(r.message.find("too small for FAT32"), std::string::npos) << r.message;
            std::vector<std::uint8_t> boot(kSectorBytes);
            ASSERT_TRUE(device.read(0, boot));
            EXPECT_EQ(boot[510], 0) << "a refused format writes nothing";
            continue;
        }
        ASSERT_TRUE(r.ok) << r.message;
        SectorDeviceSource source(device);
        std::unique_ptr<FatVolume> volume;
        ASSERT_EQ(FatVolume::open(source, volume), FatError::Ok);
        const FatGeometry& g = volume->geometry();
        EXPECT_EQ(g.type, FatType::Fat32);
        EXPECT_EQ(g.clusterBytes(), c.clusterBytes);
        EXPECT_EQ(g.totalSectors, c.sectors);
        EXPECT_EQ(g.label, "SIZED");
        std::vector<FatEntry> root;
        EXPECT_EQ(volume->list(volume->root(), root), FatError::Ok);
        EXPECT_TRUE(root.empty());
    }
}

TEST(Fat32Format, LabelIsCheckedAndAnEmptyOneLeavesNoLabelEntry) {
    for (const std::string bad : {"lower", "TWELVE CHARS", "A.B", "A:B"}) {
        MemorySectorDevice device(40 * kMiB);
        Fat32FormatOptions options;
        options.label = bad;
        EXPECT_FALSE(formatFat32(device, options).ok) << bad;
    }
    Volume unnamed(40 * kMiB, "");
    SectorDeviceSource source(unnamed.device);
    std::unique_ptr<FatVolume> volume;
    ASSERT_EQ(FatVolume::open(source, volume), FatError::Ok);
    EXPECT_EQ(volume->geometry().label, "NO NAME");
    std::vector<std::uint8_t> root(kSectorBytes);
    ASSERT_TRUE(unnamed.device.read(volume->geometry().dataStartSector, root));
    EXPECT_EQ(root[0], 0) << "no label entry in the root folder";

    Volume named(40 * kMiB, "DEMO 2026");
    std::vector<std::uint8_t> boot(kSectorBytes), backup(kSectorBytes);
    ASSERT_TRUE(named.device.read(0, boot));
    ASSERT_TRUE(named.device.read(6, backup));
    EXPECT_EQ(boot, backup);
    const auto [fsInfoFree, counted] = named.freeCounts();
    EXPECT_EQ(fsInfoFree, counted);
}

TEST(FatEditor, FilesAndFoldersReadBackWithTheirNamesAndBytes) {
    Volume v(40 * kMiB);  // 512-byte clusters
    auto editor = v.editor();
    const std::vector<std::uint8_t> big = patternBytes(5000, 1), small = patternBytes(10, 2),
                                    leaf = patternBytes(512, 3), exact = patternBytes(1024, 4);
    struct Put {
        std::string path;
        const std::vector<std::uint8_t>* bytes;
    };
    const std::vector<std::uint8_t> none;
    for (const Put& p : {Put{"README.TXT", &small}, Put{"Long Name Over A Cluster.dat", &big},
                         Put{"empty", &none}, Put{"Deep\\Nested/Folder\\leaf.bin", &leaf},
                         Put{"\\Deep\\two clusters", &exact}, Put{"Grüße.txt", &small}}) {
        const FatResult r = editor->addFile(p.path, bytesOf(*p.bytes));
        ASSERT_TRUE(r.ok) << p.path << ": " << r.message;
    }
    EXPECT_EQ(v.content("README.TXT"), small);
    EXPECT_EQ(v.content("long name over a cluster.DAT"), big);
    EXPECT_EQ(v.content("empty"), none);
    EXPECT_EQ(v.content("Deep\\Nested\\Folder\\leaf.bin"), leaf);
    EXPECT_EQ(v.content("Deep\\two clusters"), exact);
    EXPECT_EQ(v.content("Grüße.txt"), small);
    EXPECT_EQ(v.names(""), (std::vector<std::string>{"README.TXT", "Long Name Over A Cluster.dat",
                                                     "empty", "Deep", "Grüße.txt"}));
    EXPECT_EQ(v.names("deep"), (std::vector<std::string>{"Nested", "two clusters"}));
    const auto [fsInfoFree, counted] = v.freeCounts();
    EXPECT_EQ(fsInfoFree, counted);
    // Root, three folders, and 1 + 10 + 0 + 1 + 2 + 1 clusters of files.
    EXPECT_EQ(counted, editor->geometry().clusterCount - 1 - 3 - 15);
}

TEST(FatEditor, ReplacingAFileFreesItsClustersAndKeepsOneEntry) {
    Volume v(40 * kMiB);
    auto editor = v.editor();
    const std::uint32_t before = editor->freeClusters();
    const std::vector<std::uint8_t> first = patternBytes(20000, 5), second = patternBytes(600, 6);
    for (const std::string name : {"Song.mp3", "SONG.MP3", "song.mp3"}) {
        ASSERT_TRUE(editor->addFile(name, bytesOf(first)).ok);
        ASSERT_TRUE(editor->addFile("PLAIN.BIN", bytesOf(first)).ok);
    }
    ASSERT_TRUE(editor->addFile("song.MP3", bytesOf(second)).ok);
    EXPECT_EQ(v.content("Song.mp3"), second);
    std::vector<std::string> names = v.names("");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"PLAIN.BIN", "Song.mp3"}))
        << "an overwritten file keeps its spelling";
    EXPECT_EQ(editor->freeClusters(), before - 40 - 2);
    const auto [fsInfoFree, counted] = v.freeCounts();
    EXPECT_EQ(fsInfoFree, counted);
    EXPECT_EQ(counted, before - 40 - 2);
}

TEST(FatEditor, AFolderGrowsPastItsFirstClusterAndReusesFreedSlots) {
    Volume v(40 * kMiB);
    auto editor = v.editor();
    std::vector<std::string> expected;
    for (int i = 0; i < 60; ++i) {  // three slots each: several clusters of entries
        const std::string name = "demo track number " + std::to_string(i) + ".mp3";
        ASSERT_TRUE(editor->addFile("Music\\" + name, bytesOf(patternBytes(50, i))).ok) << name;
        expected.push_back(name);
    }
    EXPECT_EQ(v.names("Music"), expected);
    EXPECT_EQ(v.content("Music\\demo track number 59.mp3"), patternBytes(50, 59));
    const std::uint32_t free = editor->freeClusters();
    ASSERT_TRUE(
        editor->addFile("Music\\demo track number 7.mp3", bytesOf(patternBytes(50, 99))).ok);
    EXPECT_EQ(editor->freeClusters(), free) << "the folder needed no new cluster";
    EXPECT_EQ(v.content("Music\\demo track number 7.mp3"), patternBytes(50, 99));
}

TEST(FatEditor, FailuresComeBackAsResultsAndLeaveTheVolumeAsItWas) {
    Volume v(40 * kMiB);
    auto editor = v.editor();
    ASSERT_TRUE(editor->addFile("keep\\a file", bytesOf(patternBytes(3000, 1))).ok);
    const std::uint32_t free = editor->freeClusters();
    const std::vector<std::uint8_t> tooBig(std::size_t(free) * 512 + 1, 7),
        some = patternBytes(4000, 2);
    struct Case {
        const char* what;
        std::string path;
        FatEditor::ReadBytes read;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"a forbidden character", "bad:name", bytesOf(some), "forbids"},
        {"a trailing dot", "folder.\\x", bytesOf(some), "ends in a dot"},
        {"no name at all", "\\", bytesOf(some), "names no file"},
        {"a file where a folder must be", "keep\\a file\\x", bytesOf(some), "is a file"},
        {"a folder where the file goes", "keep", bytesOf(some), "is a folder"},
        {"more than the free space", "huge", bytesOf(tooBig, 65536), "the disk is full"},
        {"a read that fails", "broken", bytesOf(some, 700, 2100), "reading the file failed"},
    };
    for (const Case& c : cases) {
        const FatResult r = editor->addFile(c.path, c.read);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_NE(r.message.find(c.message), std::string::npos) << c.what << ": " << r.message;
        EXPECT_EQ(editor->freeClusters(), free) << c.what;
        const auto [fsInfoFree, counted] = v.freeCounts();
        EXPECT_EQ(fsInfoFree, free) << c.what;
        EXPECT_EQ(counted, free) << c.what;
    }
    EXPECT_EQ(v.names(""), (std::vector<std::string>{"keep"}));
    EXPECT_EQ(v.content("keep\\a file"), patternBytes(3000, 1));

    // A file that is replaced and then fails is gone, not left half written.
    const FatResult r = editor->addFile("keep\\a file", bytesOf(some, 700, 1000));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(v.names("keep"), std::vector<std::string>{});
    EXPECT_EQ(editor->freeClusters(), free + 6);

    const FatResult missing = editor->addHostFile("/no/such/file", "x");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.message.find("/no/such/file"), std::string::npos) << missing.message;
}

TEST(FatEditor, AMediumThatFailsGivesAnErrorNotACrash) {
    Volume v(40 * kMiB);
    auto editor = v.editor();
    v.device.failWritesFrom(editor->geometry().dataStartSector + 100);
    const FatResult r = editor->addFile("big", bytesOf(patternBytes(200000, 1)));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("writing the disk failed"), std::string::npos) << r.message;
    EXPECT_EQ(v.names(""), std::vector<std::string>{});
    const auto [fsInfoFree, counted] = v.freeCounts();
    EXPECT_EQ(fsInfoFree, counted);
}

TEST(FatEditor, OnlyFat32VolumesOpen) {
    MemorySectorDevice blank(40 * kMiB);
    std::unique_ptr<FatEditor> editor;
    EXPECT_FALSE(FatEditor::open(blank, editor).ok);

    FatWriteOptions options;
    options.fatType = 16;
    const std::vector<std::uint8_t> image = imageOf(folder("", {file("A", {1})}), options);
    MemorySectorDevice fat16((image.size() + kSectorBytes - 1) / kSectorBytes);
    std::vector<std::uint8_t> padded = image;
    padded.resize(fat16.sectorCount() * kSectorBytes);
    ASSERT_TRUE(fat16.write(0, padded));
    const FatResult r = FatEditor::open(fat16, editor);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("FAT16, not FAT32"), std::string::npos) << r.message;
}

}  // namespace
}  // namespace cv50::fwpkg
