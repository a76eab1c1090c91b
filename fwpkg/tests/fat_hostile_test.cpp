// Damaged and hostile images: the reader answers with an error, never a read outside
// the image or an endless walk.
#include <gtest/gtest.h>

#include <random>

#include "fwpkg/tests/fat_test_support.h"

namespace cv50::fwpkg {
namespace {

using namespace testing;

// FAT12, 512-byte clusters: CVBOOT.BIN in clusters 2-7, folder SUB in 8, SUB\X in 9.
class HostileImage : public ::testing::Test {
public:
    void SetUp() override {
        image = imageOf(folder("", {file("CVBOOT.BIN", patternBytes(3000, 1)),
                                    folder("SUB", {file("X", patternBytes(10, 2))}),
                                    file("a long file name.txt", patternBytes(5, 3))}));
        MemorySource source(image);
        std::unique_ptr<FatVolume> v;
        ASSERT_EQ(FatVolume::open(source, v), FatError::Ok);
        geometry = v->geometry();
        ASSERT_EQ(geometry.type, FatType::Fat12);
        ASSERT_EQ(geometry.clusterBytes(), 512u);
        FatEntry e;
        ASSERT_EQ(v->find("CVBOOT.BIN", e), FatError::Ok);
        ASSERT_EQ(e.firstCluster, 2u);
        ASSERT_EQ(v->find("SUB", e), FatError::Ok);
        ASSERT_EQ(e.firstCluster, 8u);
    }

    void setFat12(std::uint32_t cluster, std::uint16_t value) {
        const std::size_t at = geometry.reservedSectors * 512 + cluster + cluster / 2;
        std::uint16_t v = static_cast<std::uint16_t>(image[at] | image[at + 1] << 8);
        v = (cluster & 1) ? static_cast<std::uint16_t>((v & 0x000F) | value << 4)
                          : static_cast<std::uint16_t>((v & 0xF000) | (value & 0x0FFF));
        image[at] = static_cast<std::uint8_t>(v);
        image[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    std::size_t rootEntry(int index) const {
        return (geometry.reservedSectors + geometry.fatCount * geometry.fatSectors) * 512 +
               32 * index;
    }
    void put32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) image[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void put16(std::size_t at, std::uint16_t v) {
        image[at] = static_cast<std::uint8_t>(v);
        image[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }

    FatError openResult() {
        MemorySource source(image);
        std::unique_ptr<FatVolume> v;
        return FatVolume::open(source, v);
    }
    // Opens, finds `path` and reads it (a file) or lists it (a folder).
    FatError use(const std::string& path) {
        MemorySource source(image);
        std::unique_ptr<FatVolume> v;
        if (const FatError e = FatVolume::open(source, v); e != FatError::Ok) return e;
        FatEntry entry;
        if (const FatError e = v->find(path, entry); e != FatError::Ok) return e;
        if (entry.directory) {
            std::vector<FatEntry> entries;
            return v->list(entry, entries);
        }
        std::vector<std::uint8_t> content;
        return readAll(*v, entry, content);
    }

    std::vector<std::uint8_t> image;
    FatGeometry geometry;
};

TEST_F(HostileImage, DamagedBootSectorsAreRefused) {
    struct Case {
        const char* what;
        std::size_t at;
        std::vector<std::uint8_t> bytes;
        FatError expected;
    };
    const Case cases[] = {
        {"no 55 AA", 510, {0x00}, FatError::BadBootSector},
        {"no jump", 0, {0x00}, FatError::BadBootSector},
        {"0 bytes per sector", 11, {0, 0}, FatError::BadBootSector},
        {"3000 bytes per sector", 11, {0xB8, 0x0B}, FatError::BadBootSector},
        {"3 sectors per cluster", 13, {3}, FatError::BadBootSector},
        {"no reserved sector", 14, {0, 0}, FatError::BadBootSector},
        {"no FAT", 16, {0}, FatError::BadBootSector},
        {"no root entries on FAT12", 17, {0, 0}, FatError::BadBootSector},
        {"FAT longer than the volume", 22, {0xFF, 0xFF}, FatError::BadBootSector},
        {"no FAT size", 22, {0, 0}, FatError::BadBootSector},
        {"more sectors than the file", 19, {0xFF, 0xFF}, FatError::Truncated},
        {"4 G sectors",
         19,
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
         FatError::Truncated},
    };
    const std::vector<std::uint8_t> intact = image;
    for (const Case& c : cases) {
        image = intact;
        std::copy(c.bytes.begin(), c.bytes.end(), image.begin() + static_cast<long>(c.at));
        EXPECT_EQ(openResult(), c.expected) << c.what;
    }
    image = intact;
    image.resize(image.size() / 2);
    EXPECT_EQ(openResult(), FatError::Truncated);
    image.resize(100);
    EXPECT_EQ(openResult(), FatError::Truncated);
    image.assign(4096, 0);
    EXPECT_EQ(openResult(), FatError::BadBootSector);
}

TEST_F(HostileImage, BrokenChainsAndEntriesGiveErrors) {
    struct Case {
        const char* what;
        std::function<void(HostileImage&)> damage;
        const char* path;
        FatError expected;
    };
    const Case cases[] = {
        {"file chain back to its start", [](HostileImage& t) { t.setFat12(4, 2); }, "CVBOOT.BIN",
         FatError::CyclicChain},
        {"folder chain on itself", [](HostileImage& t) { t.setFat12(8, 8); }, "SUB",
         FatError::CyclicChain},
        {"folder chain into a file's chain and round",
         [](HostileImage& t) {
             t.setFat12(8, 3);
             t.setFat12(7, 8);
         },
         "SUB", FatError::CyclicChain},
        {"free cluster inside a chain", [](HostileImage& t) { t.setFat12(3, 0); }, "CVBOOT.BIN",
         FatError::BadChain},
        {"bad-cluster mark inside a chain", [](HostileImage& t) { t.setFat12(3, 0xFF7); },
         "CVBOOT.BIN", FatError::BadChain},
        {"chain shorter than the size", [](HostileImage& t) { t.setFat12(3, 0xFFF); }, "CVBOOT.BIN",
         FatError::BadChain},
        {"chain past the last cluster", [](HostileImage& t) { t.setFat12(3, 0xFEF); }, "CVBOOT.BIN",
         FatError::BadChain},
        {"size of 4 GiB", [](HostileImage& t) { t.put32(t.rootEntry(1) + 28, 0xFFFFFFFF); },
         "CVBOOT.BIN", FatError::BadDirectory},
        {"first cluster out of range",
         [](HostileImage& t) { t.put16(t.rootEntry(1) + 26, 0x0FF0); }, "CVBOOT.BIN",
         FatError::BadChain},
        {"folder without a cluster", [](HostileImage& t) { t.put16(t.rootEntry(2) + 26, 0); },
         "SUB", FatError::BadDirectory},
    };
    const std::vector<std::uint8_t> intact = image;
    for (const Case& c : cases) {
        image = intact;
        c.damage(*this);
        EXPECT_EQ(use(c.path), c.expected) << c.what;
    }
    image = intact;
    EXPECT_EQ(use("SUB\\X"), FatError::Ok);
}

TEST_F(HostileImage, LongNameWithAWrongChecksumFallsBackToTheShortName) {
    MemorySource source(image);
    std::unique_ptr<FatVolume> v;
    ASSERT_EQ(FatVolume::open(source, v), FatError::Ok);
    FatEntry e;
    ASSERT_EQ(v->find("a long file name.txt", e), FatError::Ok);
    const std::string shortName = e.shortName;
    // Entries: label, CVBOOT.BIN, SUB, then the long name's two parts and its short entry.
    image[rootEntry(3) + 13] ^= 0xFF;
    MemorySource damaged(image);
    ASSERT_EQ(FatVolume::open(damaged, v), FatError::Ok);
    EXPECT_EQ(v->find("a long file name.txt", e), FatError::NotFound);
    EXPECT_EQ(v->find(shortName, e), FatError::Ok);
    EXPECT_EQ(e.name, shortName);
}

// Random damage, many times over: whatever the bytes, the reader returns.
TEST_F(HostileImage, RandomDamageNeverCrashes) {
    std::mt19937 random(20081220);
    const std::vector<std::uint8_t> intact = image;
    const std::size_t metadata = rootEntry(0) + geometry.rootEntries * 32 + 1024;
    int opened = 0;
    for (int round = 0; round < 3000; ++round) {
        image = intact;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i)
            image[random() % metadata] = static_cast<std::uint8_t>(random());
        if (round % 7 == 0) image.resize(random() % image.size());
        MemorySource source(image);
        std::unique_ptr<FatVolume> v;
        if (FatVolume::open(source, v) != FatError::Ok) continue;
        ++opened;
        std::vector<FatEntry> entries;
        if (v->list(v->root(), entries) != FatError::Ok) continue;
        for (const FatEntry& e : entries) {
            std::vector<std::uint8_t> content;
            std::vector<FatEntry> inner;
            if (e.directory)
                (void)v->list(e, inner);
            else
                (void)readAll(*v, e, content);
            EXPECT_LE(content.size(), image.size());
        }
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace cv50::fwpkg
