// MD5 message digest (RFC 1321): the check value at the end of a firmware image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace cv50::flash {

class Md5 {
public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5();
    void update(std::span<const std::uint8_t> data);
    // Ends the message; the object must not be updated afterwards.
    [[nodiscard]] Digest finish();

    // The digest as 32 lowercase hexadecimal characters.
    static std::string hex(const Digest& digest);

private:
    void block(const std::uint8_t* p);

    std::uint32_t state_[4];
    std::uint64_t length_ = 0;  // bytes fed so far
    std::uint8_t buffer_[64] = {};
    std::size_t buffered_ = 0;
};

}  // namespace cv50::flash
