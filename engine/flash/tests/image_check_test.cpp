// The check value, tail block and version and size queries of firmware images.
#include "engine/flash/image_check.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "engine/api/exports.h"
#include "engine/flash/md5.h"
#include "engine/flash/tests/flash_fixture.h"

namespace cv50::flash {
namespace {

using testing::FlashFixture;
using testing::readFile;
using testing::writeFile;

class ImageCheckTest : public FlashFixture {
protected:
    // `chunks` x 1024 bytes of content followed by `check` (32 characters).
    std::string imageWith(std::size_t chunks, const std::string& check) {
        std::vector<std::uint8_t> bytes(chunks * 1024);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 1024);
        bytes.insert(bytes.end(), check.begin(), check.end());
        writeFile(path("chunks.img"), bytes);
        return path("chunks.img");
    }
    static std::string digestOf(std::size_t chunks) {
        std::vector<std::uint8_t> bytes(chunks * 1024);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 1024);
        Md5 md5;
        md5.update(bytes);
        return Md5::hex(md5.finish());
    }
    // An image whose tail block is `block` and whose check value is right.
    std::string imageWithTail(const TailBlock& block) {
        std::vector<std::uint8_t> bytes(1536 + block.bytes.size(), 0xA5);
        std::copy(block.bytes.begin(), block.bytes.end(), bytes.begin() + 1536);
        Md5 md5;
        md5.update(bytes);
        const std::string check = Md5::hex(md5.finish());
        bytes.insert(bytes.end(), check.begin(), check.end());
        writeFile(path("tail.img"), bytes);
        return path("tail.img");
    }
};

TEST_F(ImageCheckTest, LowercaseDigestOfWholeChunksPassesUppercaseFails) {
    std::string lower = digestOf(3);
    std::string image = imageWith(3, lower);
    EXPECT_EQ(CVCheckImage(image.data()), 1) << logText();
    EXPECT_EQ(logText(), "");

    std::string upper = lower;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_NE(upper, lower);
    image = imageWith(3, upper);
    EXPECT_EQ(CVCheckImage(image.data()), 0);
    EXPECT_TRUE(logged("Error:Check value is wrong"));
}

TEST_F(ImageCheckTest, ShortOrMissingFilesFailWithTheirMessages) {
    writeFile(path("short.img"), std::vector<std::uint8_t>(31, '0'));
    std::string image = path("short.img");
    EXPECT_EQ(CVCheckImage(image.data()), 0);
    EXPECT_TRUE(logged("Error:Get old check value failed"));

    image = path("missing.img");
    EXPECT_EQ(CVCheckImage(image.data()), 0);
    EXPECT_TRUE(logged("Error:Open image file failed"));

    // Exactly 32 bytes: the digest of nothing.
    image = imageWith(0, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(CVCheckImage(image.data()), 1);
}

TEST_F(ImageCheckTest, ContentThatIsNotWholeChunksIsDigestedWithItsCheckValue) {
    // 1000 bytes + 32: the one read returns 1032 and is fed whole, so no value can match.
    std::vector<std::uint8_t> bytes(1000, 7);
    Md5 md5;
    md5.update(bytes);
    const std::string check = Md5::hex(md5.finish());
    bytes.insert(bytes.end(), check.begin(), check.end());
    writeFile(path("odd.img"), bytes);
    EXPECT_FALSE(checkImage(path("odd.img")));
}

TEST_F(ImageCheckTest, AnImageLargerThanOneReadIsDigestedWholeAndAChangeAnywhereIsFound) {
    const std::size_t chunks = kCheckReadSize / 1024 + 76;
    const std::string image = imageWith(chunks, digestOf(chunks));
    EXPECT_TRUE(checkImage(image)) << logText();
    for (const std::size_t at :
         {std::size_t{0}, kCheckReadSize - 1, kCheckReadSize, chunks * 1024 - 1}) {
        std::vector<std::uint8_t> bytes = readFile(image);
        bytes[at] ^= 0x40;
        writeFile(path("changed.img"), bytes);
        EXPECT_FALSE(checkImage(path("changed.img"))) << "byte " << at;
    }
}

TEST_F(ImageCheckTest, TailTagAndCrcDecideWhatTheQueriesGive) {
    const TailBlock good = buildTailBlock({0x12345678, 80, 24});
    std::string image = imageWithTail(good);
    unsigned int systemMB = 0, configMB = 0;
    unsigned short high = 0, low = 0;
    EXPECT_EQ(CV_GetDiskSize(image.data(), systemMB, configMB), 0);
    EXPECT_EQ(systemMB, 80u);
    EXPECT_EQ(configMB, 24u);
    EXPECT_EQ(CV_GetSystemVersion(image.data(), high, low), 1);
    EXPECT_EQ(high, 0x1234);
    EXPECT_EQ(low, 0x5678);
    TailFields fields;
    EXPECT_EQ(checkImageTail(image, fields), TailCheck::SizesValid);
    EXPECT_EQ(fields.systemDiskMB, 80u);

    // A tag off in its last letter: no version, no sizes.
    image = imageWithTail(buildTailBlock({0x12345678, 80, 24}, "TOOLVES"));
    systemMB = configMB = 7;
    EXPECT_EQ(CV_GetDiskSize(image.data(), systemMB, configMB), -2);
    EXPECT_EQ(systemMB, 7u);
    EXPECT_EQ(CV_GetSystemVersion(image.data(), high, low), 0);
    EXPECT_EQ(checkImageTail(image, fields), TailCheck::NoSizeInfo);

    // A wrong CRC: the sizes are still given, the upgrade's check refuses the image.
    TailBlock wrong = good;
    setTailCrc(wrong, good.storedCrc() ^ 0x80000000u);
    image = imageWithTail(wrong);
    EXPECT_EQ(CV_GetDiskSize(image.data(), systemMB, configMB), 0);
    EXPECT_EQ(systemMB, 80u);
    EXPECT_EQ(configMB, 24u);
    EXPECT_EQ(checkImageTail(image, fields), TailCheck::Refused);
    EXPECT_EQ(CVCheckImage(image.data()), 1);  // the check value covers the block as it is

    image = path("missing.img");
    EXPECT_EQ(CV_GetDiskSize(image.data(), systemMB, configMB), -1);
    EXPECT_EQ(CV_GetSystemVersion(image.data(), high, low), 0);
    EXPECT_EQ(checkImageTail(image, fields), TailCheck::Unreadable);

    // Shorter than a trailer: readable, but without a tag.
    writeFile(path("tiny.img"), std::vector<std::uint8_t>(100, 'T'));
    image = path("tiny.img");
    EXPECT_EQ(CV_GetDiskSize(image.data(), systemMB, configMB), -2);
}

TEST_F(ImageCheckTest, ImageSizeIsTruncatedToWholeMegabytes) {
    struct Case {
        std::uintmax_t bytes;
        unsigned int mb;
    };
    for (const Case c :
         {Case{5u * 1024 * 1024 + 1, 5}, Case{5u * 1024 * 1024 - 1, 4}, Case{0, 0}}) {
        writeFile(path("size.img"), {});
        std::filesystem::resize_file(path("size.img"), c.bytes);
        std::string image = path("size.img");
        unsigned int mb = 99;
        EXPECT_EQ(CV_GetImageSize(image.data(), mb), 1);
        EXPECT_EQ(mb, c.mb) << c.bytes;
    }
    std::string missing = path("missing.img");
    unsigned int mb = 99;
    EXPECT_EQ(CV_GetImageSize(missing.data(), mb), 0);
    EXPECT_EQ(mb, 99u);
}

TEST_F(ImageCheckTest, PackedImagePassesAndGivesItsVersions) {
    const fwpkg::PackedImage packed = packSample(path("fw.img"), "", {0x00020015, 64, 16});
    std::string image = path("fw.img");
    EXPECT_EQ(packed.totalBytes % 16384, 32u);  // whole download pieces, then the check value
    EXPECT_EQ(std::filesystem::file_size(image), packed.totalBytes);
    EXPECT_EQ(CVCheckImage(image.data()), 1) << logText();

    unsigned short high = 0, low = 0;
    ASSERT_EQ(CV_GetLoaderVersion(image.data(), high, low), 1) << logText();
    EXPECT_EQ(high, 0x0001);
    EXPECT_EQ(low, 0x0023);
    EXPECT_FALSE(std::filesystem::exists(path("CVBOOT.BIN"))) << "the temporary copy is deleted";

    writeFile(path("loader.bin"), sampleLoader());
    std::string loader = path("loader.bin");
    _CORV_VERSION v;
    v.reserved = 0xDEADBEEF;
    ASSERT_EQ(CVGetVersionFromImage(image.data(), loader.data(), &v), 1);
    EXPECT_EQ(v.loaderHigh, 0x0001);
    EXPECT_EQ(v.loaderLow, 0x0023);
    EXPECT_EQ(v.systemHigh, 0x0002);
    EXPECT_EQ(v.systemLow, 0x0015);
    EXPECT_EQ(v.reserved, 0xDEADBEEFu);
}

TEST_F(ImageCheckTest, VersionFromImageLogsWhatIsMissing) {
    std::string image = imageWithTail(buildTailBlock({0x00030004, 1, 1}, "NOTAG"));
    std::string loader = path("loader.bin");
    writeFile(loader, sampleLoader());
    _CORV_VERSION v{};
    EXPECT_EQ(CVGetVersionFromImage(image.data(), loader.data(), &v), 0);
    EXPECT_TRUE(logged("Image not include version information"));
    EXPECT_EQ(v.loaderHigh, 0xFFFF);
    EXPECT_EQ(v.systemLow, 0xFFFF);

    image = imageWithTail(buildTailBlock({0x00030004, 1, 1}));
    std::string notLoader = path("tail.img");
    EXPECT_EQ(CVGetVersionFromImage(image.data(), notLoader.data(), &v), 0);
    EXPECT_TRUE(logged("Error:Get Loader version failed"));
    EXPECT_EQ(v.systemHigh, 0x0003);
    EXPECT_EQ(v.loaderHigh, 0xFFFF);

    std::string missing = path("missing.img");
    EXPECT_EQ(CVGetVersionFromImage(missing.data(), loader.data(), &v), 0);
    EXPECT_TRUE(logged("Error:Open image file failed"));

    unsigned short high = 0, low = 0;
    EXPECT_EQ(CV_GetLoaderVersion(image.data(), high, low), 0);  // no package in it
    EXPECT_TRUE(logged("ERROR:FS_GetLoaderPath failed"));
}

}  // namespace
}  // namespace cv50::flash
