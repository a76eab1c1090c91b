// The generated stand-in loader.
#include "bench/generated_disk.h"

#include <algorithm>

#include "cvusbcomm/cvusbcomm.h"

namespace cv50::bench {
namespace {

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

void generateSector(std::uint64_t sector, std::span<std::uint8_t, 512> out) {
    for (std::size_t word = 0; word < 64; ++word) {
        const std::uint64_t v = mix(sector * 64 + word);
        for (std::size_t b = 0; b < 8; ++b)
            out[word * 8 + b] = static_cast<std::uint8_t>(v >> (8 * b));
    }
}

bool GeneratedDisk::hostWrite(std::span<const std::uint8_t> data) {
    while (!data.empty()) {
        if (writing_) {
            // Compared against the generator as it arrives, sector by sector.
            const std::uint64_t total = writing_->dataLength;
            const std::size_t offset = static_cast<std::size_t>(outDone_ % 512);
            if (offset == 0) generateSector(writing_->params[0] + outDone_ / 512, expected_);
            const std::size_t n = std::min<std::size_t>(
                {data.size(), 512 - offset, static_cast<std::size_t>(total - outDone_)});
            for (std::size_t i = 0; i < n; ++i) mismatches_ += data[i] != expected_[offset + i];
            outDone_ += n;
            data = data.subspan(n);
            if (outDone_ == total) {
                const cvusb::Command c = *writing_;
                writing_.reset();
                finish(c, CVU_OK);
            }
            continue;
        }
        const std::size_t n = std::min(data.size(), cvusb::kCommandSize - command_.size());
        command_.insert(command_.end(), data.begin(),
                        data.begin() + static_cast<std::ptrdiff_t>(n));
        data = data.subspan(n);
        if (command_.size() < cvusb::kCommandSize) continue;
        const auto c = cvusb::decodeCommand(command_);
        command_.clear();
        if (!c) return false;
        start(*c);
    }
    return true;
}

void GeneratedDisk::start(const cvusb::Command& c) {
    output_.clear();
    outputRead_ = 0;
    const auto expected = cvusb::expectedDataLength(c.opcode, c.params);
    if (!expected || *expected != c.dataLength) return finish(c, CVU_ERR_ARGUMENT);
    if (c.opcode == cvusb::Opcode::WriteLBA) {
        writing_ = c;
        outDone_ = 0;
        if (c.dataLength == 0) {
            writing_.reset();
            finish(c, CVU_OK);
        }
        return;
    }
    if (c.opcode != cvusb::Opcode::ReadLBA) {
        // Nothing else is needed here; an in-phase is still sent in full.
        output_.assign(cvusb::dataDirection(c.opcode) == cvusb::Direction::In ? c.dataLength : 0,
                       0);
        return finish(c, CVU_ERR_UNSUPPORTED);
    }
    output_.resize(c.dataLength);
    for (std::uint32_t s = 0; s < c.params[1]; ++s)
        generateSector(c.params[0] + s,
                       std::span<std::uint8_t, 512>(output_.data() + std::size_t{s} * 512, 512));
    finish(c, CVU_OK);
}

void GeneratedDisk::finish(const cvusb::Command& c, std::int32_t result) {
    const auto status = cvusb::encodeStatus({c.tag, result, c.dataLength});
    output_.insert(output_.end(), status.begin(), status.end());
}

long long GeneratedDisk::hostRead(std::span<std::uint8_t> buffer) {
    if (outputRead_ >= output_.size()) return -1;
    const std::size_t n = std::min(buffer.size(), output_.size() - outputRead_);
    std::copy_n(output_.begin() + static_cast<std::ptrdiff_t>(outputRead_), n, buffer.begin());
    outputRead_ += n;
    return static_cast<long long>(n);
}

}  // namespace cv50::bench
