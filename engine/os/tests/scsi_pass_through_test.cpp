// The vendor command's pass-through request, byte for byte.
#include "engine/os/scsi_pass_through.h"

#include <gtest/gtest.h>

namespace cv50::os::scsi {
namespace {

TEST(ScsiPassThrough, CommandBlockCarriesTheNumberBigEndianAndTheLengthLittleEndian) {
    const Cdb cdb = vendorCdb(0xFFFFFFFE, 0);
    EXPECT_EQ(cdb, (Cdb{0xA8, 0xE0, 0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 0, 0}));
    EXPECT_EQ(vendorCdb(0x01020304, 0x0C), (Cdb{0xA8, 0xE0, 1, 2, 3, 4, 0x0C, 0, 0, 0}));
    const auto back = parseVendorCdb(vendorCdb(0x01020304, 0x1234));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->command, 0x01020304u);
    EXPECT_EQ(back->dataLength, 0x1234u);
    EXPECT_FALSE(parseVendorCdb(Cdb{0x28}));
}

TEST(ScsiPassThrough, RequestIs592BytesLaidOutAsTheDriverReadsIt) {
    const auto b = packRequest(vendorCdb(0xFFFFFFFF, 12), 12);
    ASSERT_EQ(b.size(), 592u);
    const std::uint8_t header[44] = {
        44, 0,        // Length
        0,            // ScsiStatus
        0, 1, 0,      // PathId, TargetId, Lun
        10, 24, 1,    // CdbLength, SenseInfoLength, DataIn
        0, 0, 0,      // alignment
        12, 0, 0, 0,  // DataTransferLength
        2, 0, 0, 0,   // TimeOutValue
        80, 0, 0, 0,  // DataBufferOffset
        48, 0, 0, 0,  // SenseInfoOffset
        0xA8, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // Cdb[16]
    for (std::size_t i = 0; i < 44; ++i) EXPECT_EQ(b[i], header[i]) << "byte " << i;
    for (std::size_t i = 44; i < 592; ++i) ASSERT_EQ(b[i], 0) << "byte " << i;

    const auto parsed = parseRequest(b);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->dataLength, 12u);
    EXPECT_TRUE(parsed->dataIn);
    EXPECT_FALSE(parseRequest(std::span(b.data(), 591)));
}

}  // namespace
}  // namespace cv50::os::scsi
