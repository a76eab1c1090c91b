// Serial numbers through the library's exports on simulated loader players.
#include <algorithm>

#include "engine/api/exports.h"
#include "engine/flash/tests/idb_write_fixture.h"

namespace cv50::flash {
namespace {

using testing::IdbWriteFixture;
using testing::kSmallNand;
using testing::loaderPlayer;
using testing::patternBytes;
using testing::writeFile;

constexpr std::uint32_t kBlockSectors = 32;
using Mac = std::array<std::uint8_t, 6>;

class SerialNumber : public IdbWriteFixture {
protected:
    // A player with five copies written by a full write.
    void startWritten(const std::vector<std::uint8_t>& sn = {}, std::optional<Mac> mac = {}) {
        start(loaderPlayer(kSmallNand));
        CFlashDevice d = device();
        d.snData = sn;
        d.hasMac = mac.has_value();
        d.mac = mac.value_or(Mac{});
        ASSERT_EQ(d.WriteIDBlock(false, true), 0);
        written = d.idbBlocks;
    }
    DEVICE_INFO loader() {
        DEVICE_INFO info{};
        std::strcpy(info.devicePath, usbPath().c_str());
        info.type = Loader;
        return info;
    }
    std::array<std::uint16_t, 5> written{};
};

TEST_F(SerialNumber, SixHundredBytesStoreFiveHundredReadBackOnlyWithTheirExactLength) {
    startWritten();
    DEVICE_INFO info = loader();
    auto sn = patternBytes(600, 0x20);
    ASSERT_EQ(WriteSN(&info, sn.data(), 600), 1);
    EXPECT_TRUE(logged("INFO: Write sn OK"));

    std::vector<std::uint8_t> back(500, 0);
    ASSERT_EQ(ReadSN(&info, back.data(), 500), 1);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), sn.begin()));
    for (int off : {499, 501}) {
        std::vector<std::uint8_t> wrong(off, 0xEE);
        EXPECT_EQ(ReadSN(&info, wrong.data(), off), 0) << off;
        EXPECT_EQ(wrong, std::vector<std::uint8_t>(off, 0xEE)) << off;  // nothing copied
    }
    EXPECT_TRUE(logged("ERROR: Length of sn is not same"));
    for (const sim::IdBlockCopy& c : validCopies(written, kBlockSectors))
        EXPECT_EQ(c.serialNumber, std::vector<std::uint8_t>(sn.begin(), sn.begin() + 500));
}

TEST_F(SerialNumber, SerialNumberAndMacSurviveWritesAndUpdates) {
    const Mac mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    startWritten(patternBytes(8, 0x41), mac);
    DEVICE_INFO info = loader();
    auto sn = patternBytes(30, 0x61);
    ASSERT_EQ(WriteSN(&info, sn.data(), 30), 1);

    writeFile(bootPath(), patternBytes(4000, 0x55));
    CFlashDevice update = device();
    ASSERT_EQ(update.WriteIDBlock(false, false), 0);
    CFlashDevice full = device();  // a mask-ROM upgrade knows no serial number of its own
    ASSERT_EQ(full.WriteIDBlock(false, true), 0);

    for (const sim::IdBlockCopy& c : validCopies(full.idbBlocks, kBlockSectors)) {
        EXPECT_EQ(c.serialNumber, sn);
        EXPECT_EQ(c.mac, mac);
        EXPECT_EQ(c.bootCode, patternBytes(4000, 0x55));
    }
    std::vector<std::uint8_t> back(30);
    ASSERT_EQ(ReadSN(&info, back.data(), 30), 1);
    EXPECT_EQ(back, sn);
    EXPECT_TRUE(resetComesBackAsLoader());
}

TEST_F(SerialNumber, RewritesAllFiveRecordedCopiesWhenSomeAreLost) {
    startWritten(patternBytes(5, 0x31));
    const std::string path = usbPath();
    ASSERT_EQ(CVU_EraseBlock(path.c_str(), 0, written[1], 1, CVU_ERASE_NORMAL), 0);
    ASSERT_EQ(CVU_EraseBlock(path.c_str(), 0, written[3], 1, CVU_ERASE_NORMAL), 0);
    DEVICE_INFO info = loader();
    auto sn = patternBytes(9, 0x71);
    ASSERT_EQ(WriteSN(&info, sn.data(), 9), 1);
    for (const sim::IdBlockCopy& c : validCopies(written, kBlockSectors)) {
        EXPECT_EQ(c.serialNumber, sn);
        EXPECT_EQ(c.idbBlocks, written);
    }
}

TEST_F(SerialNumber, RefusesOtherDevicesAndEmptySerialNumbers) {
    startWritten();
    std::vector<std::uint8_t> buffer(4, 1);
    for (CV_DEVICE_TYPE type : {MaskRom, Msc}) {
        DEVICE_INFO info = loader();
        info.type = type;
        EXPECT_EQ(ReadSN(&info, buffer.data(), 4), 0);
        EXPECT_EQ(WriteSN(&info, buffer.data(), 4), 0);
    }
    EXPECT_TRUE(logged("ERROR:Device is not Loader"));
    EXPECT_EQ(logText().find("INFO: Start to get flash info"), std::string::npos);
    DEVICE_INFO info = loader();
    EXPECT_EQ(WriteSN(&info, buffer.data(), 0), 0);
    EXPECT_TRUE(logged("ERROR:The length of sn is smaller than zero"));
}

}  // namespace
}  // namespace cv50::flash
