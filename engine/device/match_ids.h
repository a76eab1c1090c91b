// The vendor and product numbers that make a device ours; replaced by SetVidPid.
#pragma once

#include <cstdint>

namespace cv50::device {

struct MatchIds {
    std::uint16_t corvUsbVid = 0x071b;
    std::uint16_t corvUsbPid = 0x3201;
    std::uint16_t corvMscVid = 0x071b;
    std::uint16_t corvMscPid = 0x3203;
};

// The process-wide match numbers (no lock: exports are not called concurrently).
MatchIds& matchIds();

}  // namespace cv50::device
