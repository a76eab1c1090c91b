// The chip's mask ROM, as a player without a usable loader presents it: it takes the three
// boot programs over the driver's control interface, one buffer per request, each file
// ending with its CRC-16 (high byte first). After the third it runs them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace cv50::sim {

class MaskRom {
public:
    static constexpr std::uint32_t kDataRequest = 0x8000A000;
    static constexpr std::uint32_t kProgRequest = 0x8000A004;
    static constexpr std::size_t kPacket = 4096;
    // The largest file its RAM takes: a 64 KiB program and its checksum. A longer one is
    // refused once it passes this, so a host that never ends a file cannot fill memory.
    static constexpr std::size_t kMaxFile = 65536 + 2;

    // One request: the bytes taken (the whole buffer), or -1 when refused.
    long long request(std::uint32_t code, std::span<const std::uint8_t> buffer);

    // All three programs arrived with good checksums: the boot code runs.
    bool booted() const { return stage_ == 3; }
    // How many files were refused for a bad checksum or an out-of-order request.
    int refusedFiles() const { return refused_; }
    // The size of every request received, in order (tests read the packet shapes).
    const std::vector<std::size_t>& requestSizes() const { return sizes_; }

private:
    bool finishFile();

    int stage_ = 0;  // files accepted: data.bin, prog.bin, prog2nd.bin
    int refused_ = 0;
    std::vector<std::uint8_t> file_;  // the file being received, with its checksum
    std::vector<std::size_t> sizes_;
};

// The CRC-16 with the CCITT-FALSE parameters, as the ROM computes it.
std::uint16_t romCrc16(std::span<const std::uint8_t> data);

}  // namespace cv50::sim
