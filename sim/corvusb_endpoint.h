// What a simulated CorvUsb device (mask ROM or loader) presents on its two pipes.
// SimOs routes "<device path>\PIPE00" writes and "\PIPE01" reads to the endpoint
// attached to that device path; once detached, open pipes fail instead of hanging.
#pragma once

#include <cstdint>
#include <span>

namespace cv50::sim {

class CorvUsbEndpoint {
public:
    virtual ~CorvUsbEndpoint() = default;
    // Bytes the host writes to the write pipe; false when the device refuses them.
    virtual bool hostWrite(std::span<const std::uint8_t> data) = 0;
    // Bytes the host reads from the read pipe: the count placed in `buffer`, or -1.
    virtual long long hostRead(std::span<std::uint8_t> buffer) = 0;
    // False once the device stays on the bus but answers nothing more: every transfer then
    // runs until the host's time bound.
    virtual bool answers() const { return true; }
};

}  // namespace cv50::sim
