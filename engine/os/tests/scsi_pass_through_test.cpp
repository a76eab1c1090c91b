// The vendor command's pass-through request, byte for byte.
#include "engine/os/scsi_pass_through.h"

#include <gtest/gtest.h>

#include <vector>

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

// Each layout as its kernel reads it: the header, then zeros up to the end.
struct LayoutCase {
    const char* name;
    const Layout& layout;
    std::vector<std::uint8_t> header;
};

const LayoutCase kLayoutCases[] = {
    {"32-bit: 592 bytes, 44-byte header",
     kLayout32,
     {44,   0,              // Length
      0,                    // ScsiStatus
      0,    1,    0,        // PathId, TargetId, Lun
      10,   24,   1,        // CdbLength, SenseInfoLength, DataIn
      0,    0,    0,        // alignment
      12,   0,    0,    0,  // DataTransferLength
      2,    0,    0,    0,  // TimeOutValue
      80,   0,    0,    0,  // DataBufferOffset
      48,   0,    0,    0,  // SenseInfoOffset
      0xA8, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // Cdb[16]
    {"64-bit: 604 bytes, 56-byte header",
     kLayout64,
     {56,   0,                                    // Length
      0,                                          // ScsiStatus
      0,    1,    0,                              // PathId, TargetId, Lun
      10,   24,   1,                              // CdbLength, SenseInfoLength, DataIn
      0,    0,    0,                              // alignment
      12,   0,    0,    0,                        // DataTransferLength
      2,    0,    0,    0,                        // TimeOutValue
      0,    0,    0,    0,                        // alignment of the pointer-sized field
      92,   0,    0,    0,    0,    0,    0,  0,  // DataBufferOffset
      60,   0,    0,    0,                        // SenseInfoOffset
      0xA8, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // Cdb[16]
      0,    0,    0,    0}},  // the structure's alignment
};

TEST(ScsiPassThrough, RequestIsLaidOutAsTheKernelOfEachPointerSizeReadsIt) {
    for (const LayoutCase& c : kLayoutCases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.header.size(), c.layout.headerLength);
        const auto b = packRequest(vendorCdb(0xFFFFFFFF, 12), 12, c.layout);
        ASSERT_EQ(b.size(), c.layout.requestSize);
        ASSERT_EQ(c.layout.requestSize, c.layout.dataOffset + kMaxData);
        for (std::size_t i = 0; i < c.header.size(); ++i)
            EXPECT_EQ(b[i], c.header[i]) << "byte " << i;
        for (std::size_t i = c.header.size(); i < b.size(); ++i) ASSERT_EQ(b[i], 0) << "byte " << i;

        const auto parsed = parseRequest(b);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->layout->headerLength, c.layout.headerLength);
        EXPECT_EQ(parsed->dataLength, 12u);
        EXPECT_TRUE(parsed->dataIn);
        EXPECT_EQ(parsed->cdb, vendorCdb(0xFFFFFFFF, 12));
        EXPECT_FALSE(parseRequest(std::span(b.data(), b.size() - 1)));
    }
    // The build packs what its own kernel expects.
    EXPECT_EQ(packRequest(vendorCdb(1, 0), 0).size(),
              sizeof(void*) == 8 ? kLayout64.requestSize : kLayout32.requestSize);
}

TEST(ScsiPassThrough, ARequestOfNeitherLayoutIsRefused) {
    auto b = packRequest(vendorCdb(1, 0), 0, kLayout64);
    b[0] = 48;  // a header length neither kernel has
    EXPECT_FALSE(parseRequest(b));
    b = packRequest(vendorCdb(1, 0), 0, kLayout64);
    b[kLayout64.dataBufferOffsetField + 4] = 1;  // an offset beyond 4 GiB
    EXPECT_FALSE(parseRequest(b));
}

}  // namespace
}  // namespace cv50::os::scsi
