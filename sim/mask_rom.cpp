// The mask ROM's download protocol.
#include "sim/mask_rom.h"

namespace cv50::sim {

std::uint16_t romCrc16(std::span<const std::uint8_t> data) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : data) {
        crc = static_cast<std::uint16_t>(crc ^ (b << 8));
        for (int i = 0; i < 8; ++i)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

long long MaskRom::request(std::uint32_t code, std::span<const std::uint8_t> buffer) {
    sizes_.push_back(buffer.size());
    if (booted() || buffer.size() > kPacket) return -1;
    const std::uint32_t expected = stage_ == 0 ? kDataRequest : kProgRequest;
    if (code != expected) {
        file_.clear();
        ++refused_;
        return -1;
    }
    if (file_.size() + buffer.size() > kMaxFile) {
        file_.clear();
        ++refused_;
        return -1;
    }
    file_.insert(file_.end(), buffer.begin(), buffer.end());
    // A packet shorter than a full one ends the file (the empty and the 1-byte ones too).
    if (buffer.size() < kPacket && !finishFile()) return -1;
    return static_cast<long long>(buffer.size());
}

bool MaskRom::finishFile() {
    std::vector<std::uint8_t> file;
    file.swap(file_);
    if (file.size() < 2) {
        ++refused_;
        return false;
    }
    const std::size_t n = file.size() - 2;
    const std::uint16_t sent = static_cast<std::uint16_t>((file[n] << 8) | file[n + 1]);
    if (romCrc16(std::span(file.data(), n)) != sent) {
        ++refused_;
        return false;
    }
    ++stage_;
    return true;
}

}  // namespace cv50::sim
