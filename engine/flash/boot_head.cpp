// Decoding and building the loader file's head.
#include "engine/flash/boot_head.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"

namespace cv50::flash {

namespace {

constexpr std::size_t kDateOffset = 0x30;
constexpr std::size_t kVersionHighOffset = 0x3C;
constexpr std::size_t kVersionLowOffset = 0x40;

std::size_t extentOffset(Piece piece) {
    switch (piece) {
        case Piece::Data:
            return 0x44;
        case Piece::Prog:
            return 0x4C;
        case Piece::FlashBoot:
            return 0x54;
        case Piece::Prog2nd:
            return 0x5C;
    }
    return 0x44;
}

}  // namespace

const char* pieceFileName(Piece piece) {
    switch (piece) {
        case Piece::Data:
            return "data.bin";
        case Piece::Prog:
            return "prog.bin";
        case Piece::FlashBoot:
            return "FlashBoot.bin";
        case Piece::Prog2nd:
            return "prog2nd.bin";
    }
    return "";
}

bool BootHead::signatureValid() const {
    return std::memcmp(bytes.data(), kBootSignature, kBootSignatureSize) == 0;
}

std::uint16_t BootHead::date(int index) const {
    return base::loadLe16(bytes, kDateOffset + 2 * static_cast<std::size_t>(std::clamp(index, 0, 2)));
}

std::uint16_t BootHead::releaseTime(int index) const {
    return base::loadLe16(bytes, 0x36 + 2 * static_cast<std::size_t>(std::clamp(index, 0, 2)));
}

std::uint32_t BootHead::mergeVersion() const { return base::loadLe32(bytes, 0x64); }

std::uint32_t BootHead::loaderVersionHigh() const { return base::loadLe32(bytes, kVersionHighOffset); }

std::uint32_t BootHead::loaderVersionLow() const { return base::loadLe32(bytes, kVersionLowOffset); }

PieceExtent BootHead::extent(Piece piece) const {
    const std::size_t at = extentOffset(piece);
    return {base::loadLe32(bytes, at), base::loadLe32(bytes, at + 4)};
}

BootHead bootHeadFromBytes(std::span<const std::uint8_t> bytes) {
    BootHead head;
    std::copy_n(bytes.begin(), std::min(bytes.size(), kBootHeadSize), head.bytes.begin());
    return head;
}

std::uint16_t toBcd(std::uint32_t value) {
    std::uint16_t out = 0;
    for (int digit = 0; digit < 4; ++digit) {
        out = static_cast<std::uint16_t>(out | ((value % 10) << (4 * digit)));
        value /= 10;
    }
    return out;
}

LoaderVersion loaderVersion(const BootHead& head) {
    return {toBcd(head.loaderVersionHigh()), toBcd(head.loaderVersionLow())};
}

std::array<std::uint16_t, 3> idBlockWords(const BootHead& head) {
    const auto lowByte = [](std::uint32_t v) {
        return static_cast<std::uint16_t>(toBcd(v) & 0xFF);
    };
    return {toBcd(head.date(0)),
            static_cast<std::uint16_t>(lowByte(head.date(1)) << 8 | lowByte(head.date(2))),
            static_cast<std::uint16_t>(lowByte(head.loaderVersionHigh()) << 8 |
                                       lowByte(head.loaderVersionLow()))};
}

std::optional<std::vector<std::uint8_t>> buildLoaderFile(const LoaderSpec& spec) {
    constexpr std::size_t kAlign = 512;
    std::vector<std::uint8_t> file(kAlign, 0);
    std::memcpy(file.data(), kBootSignature, kBootSignatureSize);
    for (int i = 0; i < 3; ++i) base::storeLe16(file, kDateOffset + 2 * i, spec.dates[i]);
    base::storeLe32(file, kVersionHighOffset, spec.versionHigh);
    base::storeLe32(file, kVersionLowOffset, spec.versionLow);
    for (std::size_t i = 0; i < kHeadPieceOrder.size(); ++i) {
        const std::vector<std::uint8_t>& piece = spec.pieces[i];
        if (piece.size() > kMaxPieceSize) return std::nullopt;
        const std::size_t offset = file.size();
        const std::size_t at = extentOffset(kHeadPieceOrder[i]);
        base::storeLe32(file, at, static_cast<std::uint32_t>(offset));
        base::storeLe32(file, at + 4, static_cast<std::uint32_t>(piece.size()));
        file.insert(file.end(), piece.begin(), piece.end());
        file.resize((file.size() + kAlign - 1) / kAlign * kAlign, 0);
    }
    return file;
}

}  // namespace cv50::flash
