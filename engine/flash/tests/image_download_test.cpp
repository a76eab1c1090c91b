// Writing an image to a simulated loader's logical disk and checking it.
#include "engine/flash/image_download.h"

#include <gtest/gtest.h>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/device/tests/log_capture.h"
#include "engine/flash/tests/idb_write_fixture.h"

namespace cv50::flash {
namespace {

using sim::testing::readFile;
using sim::testing::TempFolder;
using testing::Faults;
using testing::kSmallNand;
using testing::loaderPlayer;
using testing::Place;
using testing::writeFile;

class ImageDownloadTest : public testing::IdbWriteFixture {
protected:
    // A loader player with `faults` whose ID Block lays its disk out (a 12 MiB system disk
    // from block 12 on), after the reset that makes the loader take it.
    void world(const Faults& faults = {}) {
        start(loaderPlayer(kSmallNand, faults));
        CFlashDevice d = device();
        d.systemDiskMB = 2;
        ASSERT_EQ(d.WriteIDBlock(false, true), 0);
        ASSERT_TRUE(resetComesBackAsLoader());
        device_ = usbPath();
    }

    // An image of `size` bytes whose content differs in every byte position (a test reads
    // one byte back by this formula).
    std::string image(std::size_t size) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 512);
        const std::string path = folder_.file("img" + std::to_string(size));
        writeFile(path, bytes);
        return path;
    }

    std::vector<unsigned char> disk(unsigned lba, unsigned sectors) {
        std::vector<unsigned char> out(sectors * 512u);
        EXPECT_EQ(CVU_ReadLBA(device_.c_str(), lba, sectors, out.data()), 0);
        return out;
    }

    std::string device_;
    TempFolder folder_;
};

TEST_F(ImageDownloadTest, PiecesAndTheTrailer) {
    world();
    cv50::testing::LogCapture log;
    // Whole pieces and the 32-byte check value: 64 sectors written and checked.
    EXPECT_EQ(DownloadImage(device_, image(2 * kImagePiece + 32)), 0);
    EXPECT_TRUE(log.contains("INFO:Write image to flash OK,Written(32768B)")) << log.text();
    EXPECT_TRUE(log.contains("INFO:Check image data OK,checked(32768B)"));
    std::vector<unsigned char> expected = readFile(image(2 * kImagePiece + 32));
    expected.resize(2 * kImagePiece);
    EXPECT_EQ(disk(0, 64), expected);
    EXPECT_EQ(disk(64, 1), std::vector<unsigned char>(512, 0xFF));  // the trailer was not written

    // A last piece of one sector.
    EXPECT_EQ(DownloadImage(device_, image(kImagePiece + 512)), 0);
    EXPECT_TRUE(log.contains("INFO:Write image to flash OK,Written(16896B)"));

    // 544 bytes after whole pieces is neither a sector multiple nor the trailer.
    EXPECT_EQ(DownloadImage(device_, image(kImagePiece + 544)), -5);
    EXPECT_TRUE(log.contains("ERROR:The length of data is wrong,Read(544B),Written(16384B)"));
}

TEST_F(ImageDownloadTest, ShortImageIsOnePieceRoundedUpAndZeroPadded) {
    world();
    EXPECT_EQ(DownloadImage(device_, image(700)), 0);
    const auto sectors = disk(0, 2);
    EXPECT_EQ(sectors[699], static_cast<unsigned char>((699 * 31 + 1) & 0xFF));
    EXPECT_EQ(std::vector<unsigned char>(sectors.begin() + 700, sectors.end()),
              std::vector<unsigned char>(1024 - 700, 0));
}

TEST_F(ImageDownloadTest, DifferentDataInThePaddedLastSectorFailsTheCheck) {
    // Logical sector 1 reads back with one bit flipped, inside the zero padding of a 700-byte image.
    world(Faults().flipBit(Place::lba(1), 400, 3));
    cv50::testing::LogCapture log;
    EXPECT_EQ(DownloadImage(device_, image(700)), -9);
    EXPECT_TRUE(log.contains("ERROR:Check data failed,checked(0B)")) << log.text();

    // A caller that keeps a record of the difference is shown both pieces first.
    int told = 0;
    const ImageMismatch mismatch = [&](std::uint32_t first, std::uint32_t sectors,
                                       std::span<const std::uint8_t> fromFile,
                                       std::span<const std::uint8_t> fromDevice,
                                       std::uint64_t checked) {
        ++told;
        EXPECT_EQ(first, 0u);
        EXPECT_EQ(sectors, 2u);
        EXPECT_EQ(checked, 0u);
        ASSERT_EQ(fromFile.size(), 1024u);
        ASSERT_EQ(fromDevice.size(), 1024u);
        for (std::size_t i = 0; i < 1024; ++i)
            EXPECT_EQ(fromFile[i] ^ fromDevice[i], i == 512 + 400 ? 0x08 : 0) << i;
    };
    EXPECT_EQ(DownloadImage(device_, image(700), {}, mismatch), -9);
    EXPECT_EQ(told, 1);
}

TEST_F(ImageDownloadTest, FailuresGiveTheirCodes) {
    world(Faults().failCommand("WriteLBA", 1));
    cv50::testing::LogCapture log;
    EXPECT_EQ(DownloadImage(device_, folder_.path() + "/none.img"), -1);
    EXPECT_TRUE(log.contains("ERROR:Open image file failed,Path(")) << log.text();
    EXPECT_EQ(DownloadImage(device_, image(0)), -3);
    EXPECT_EQ(DownloadImage(device_, image(4096)), -4);
    EXPECT_TRUE(log.contains("ERROR:Write image to flash failed,written(0B),ErrCode(")) << log.text();
    EXPECT_EQ(DownloadImage("\\\\?\\USB#gone", image(4096)), -4);
}

TEST_F(ImageDownloadTest, LayerFormNamesThePort) {
    world(Faults().readError(Place::lba(40)));  // in the second piece
    cv50::testing::LogCapture log;
    EXPECT_EQ(DownloadImageLayer(device_, "1-2", image(kImagePiece + 32)), 0);
    EXPECT_TRUE(log.contains("<Layer:1-2> Begin to write image to flash"));
    EXPECT_TRUE(log.contains("<Layer:1-2> Write image data OK,Total(16384B)"));
    EXPECT_TRUE(log.contains("<Layer:1-2> Check OK,Checked(16384B)")) << log.text();
    EXPECT_EQ(DownloadImageLayer(device_, "1-2", image(3 * kImagePiece)), -8);
    EXPECT_TRUE(log.contains("<Layer:1-2> ERROR:Read data from flash failed,Checked(16384B),ErrCode("))
        << log.text();
    EXPECT_EQ(DownloadImageLayer(device_, "1-2", folder_.path() + "/none.img"), -1);
    EXPECT_TRUE(log.contains("<Layer:1-2> ERROR:Open Image file failed,Path:("));
}

TEST_F(ImageDownloadTest, ProgressCountsFileBytesOfEachPhaseInBothForms) {
    world();
    struct Report {
        ImagePhase phase;
        std::uint64_t done, total;
        bool operator==(const Report&) const = default;
    };
    using P = ImagePhase;
    const std::vector<Report> twoPieces = {{P::Written, 16384, 32768},
                                           {P::Written, 32768, 32768},
                                           {P::Checked, 16384, 32768},
                                           {P::Checked, 32768, 32768}};
    struct Case {
        bool layered;
        std::size_t size;
        std::vector<Report> expected;
    } cases[] = {
        {false, 2 * kImagePiece + 32, twoPieces},
        {true, 2 * kImagePiece + 32, twoPieces},
        {false, 700, {{P::Written, 700, 700}, {P::Checked, 700, 700}}},
        {false,
         kImagePiece + 512,
         {{P::Written, 16384, 16896},
          {P::Written, 16896, 16896},
          {P::Checked, 16384, 16896},
          {P::Checked, 16896, 16896}}},
    };
    for (const Case& c : cases) {
        std::vector<Report> reports;
        const ImageProgress progress = [&](ImagePhase phase, std::uint64_t done,
                                           std::uint64_t total) {
            reports.push_back({phase, done, total});
        };
        const std::string path = image(c.size);
        const int r = c.layered ? DownloadImageLayer(device_, "1", path, progress)
                                : DownloadImage(device_, path, progress);
        EXPECT_EQ(r, 0) << c.size;
        EXPECT_TRUE(reports == c.expected) << c.size << (c.layered ? " layered" : "");
    }

    // A failed write reports only the pieces that went through.
    std::vector<Report> reports;
    EXPECT_EQ(DownloadImage(device_, image(kImagePiece + 544),
                            [&](ImagePhase phase, std::uint64_t done, std::uint64_t total) {
                                reports.push_back({phase, done, total});
                            }),
              -5);
    EXPECT_TRUE(reports == (std::vector<Report>{{P::Written, 16384, 16928}}));
}

// The disk is the NAND behind the reserved blocks: the image is there in raw sectors, and
// erasing those blocks, as an ID Block write that formats does, takes it away.
TEST_F(ImageDownloadTest, TheImageLiesOnTheNandAndErasingBehindTheReservedBlocksLosesIt) {
    world();
    const std::string path = image(kImagePiece + 32);
    ASSERT_EQ(DownloadImage(device_, path), 0);
    std::vector<unsigned char> expected = readFile(path);
    expected.resize(kImagePiece);
    // Copies in blocks 0-4, reserved blocks 5-11: the disk starts at block 12.
    const auto raw = readBlock(12, 32);
    for (std::size_t s = 0; s < 32; ++s)
        ASSERT_TRUE(std::equal(expected.begin() + static_cast<std::ptrdiff_t>(s * 512),
                               expected.begin() + static_cast<std::ptrdiff_t>(s * 512 + 512),
                               raw.begin() + static_cast<std::ptrdiff_t>(s * 528)))
            << "sector " << s;

    CFlashDevice format = device();
    ASSERT_EQ(format.WriteIDBlock(true, false), 0);
    EXPECT_TRUE(logged("INFO:erasing blocks behind the reserve block,start(12),num(1012)")) << logText();
    EXPECT_EQ(disk(0, 32), std::vector<unsigned char>(kImagePiece, 0xFF));
}

}  // namespace
}  // namespace cv50::flash
