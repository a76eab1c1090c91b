// An ID Block image: N sectors, each 512 data bytes followed by its 16 spare bytes,
// laid out exactly as raw sector transfers carry them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace cv50::flash {

inline constexpr std::size_t kSectorDataBytes = 512;
inline constexpr std::size_t kSpareBytes = 16;
inline constexpr std::size_t kRawSectorBytes = kSectorDataBytes + kSpareBytes;

class IdBlockImage {
public:
    IdBlockImage() = default;
    // `sectors` sectors with zero data and erased (0xFF) spare areas.
    explicit IdBlockImage(std::size_t sectors) { resize(sectors); }
    // Sectors as read from the flash; the size must be a whole number of raw sectors.
    static IdBlockImage fromRaw(std::span<const std::uint8_t> raw) {
        if (raw.size() % kRawSectorBytes != 0) throw std::invalid_argument("partial sector");
        IdBlockImage image;
        image.bytes_.assign(raw.begin(), raw.end());
        return image;
    }

    std::size_t sectorCount() const { return bytes_.size() / kRawSectorBytes; }
    // Drops sectors past `sectors`, or appends zero-data, erased-spare ones.
    void resize(std::size_t sectors) {
        const std::size_t old = sectorCount();
        bytes_.resize(sectors * kRawSectorBytes, 0);
        for (std::size_t i = old; i < sectors; ++i) {
            for (std::uint8_t& b : spare(i)) b = 0xFF;
        }
    }

    std::span<std::uint8_t, kRawSectorBytes> sector(std::size_t i) {
        return std::span<std::uint8_t, kRawSectorBytes>(bytes_.data() + offset(i), kRawSectorBytes);
    }
    std::span<const std::uint8_t, kRawSectorBytes> sector(std::size_t i) const {
        return std::span<const std::uint8_t, kRawSectorBytes>(bytes_.data() + offset(i),
                                                              kRawSectorBytes);
    }
    std::span<std::uint8_t, kSectorDataBytes> data(std::size_t i) {
        return sector(i).first<kSectorDataBytes>();
    }
    std::span<const std::uint8_t, kSectorDataBytes> data(std::size_t i) const {
        return sector(i).first<kSectorDataBytes>();
    }
    std::span<std::uint8_t, kSpareBytes> spare(std::size_t i) {
        return sector(i).last<kSpareBytes>();
    }
    std::span<const std::uint8_t, kSpareBytes> spare(std::size_t i) const {
        return sector(i).last<kSpareBytes>();
    }
    // All sectors, data and spare interleaved: the unit of raw sector writes.
    std::span<const std::uint8_t> raw() const { return bytes_; }
    std::span<std::uint8_t> raw() { return bytes_; }

    bool operator==(const IdBlockImage&) const = default;

private:
    std::size_t offset(std::size_t i) const {
        if (i >= sectorCount()) throw std::out_of_range("sector outside the image");
        return i * kRawSectorBytes;
    }

    std::vector<std::uint8_t> bytes_;
};

}  // namespace cv50::flash
