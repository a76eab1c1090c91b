// The head of the loader file "CVBOOT.BIN": the signature, dates, loader version and
// where its four pieces lie. Parsed from bytes only; the file side is in loader_file.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cv50::flash {

inline constexpr std::size_t kBootHeadSize = 104;
// 29 characters and the NUL that belongs to the signature.
inline constexpr char kBootSignature[] = "Harrier5Permitted1998Solvanex";
inline constexpr std::size_t kBootSignatureSize = sizeof kBootSignature;  // 30
// Largest piece the unpack accepts.
inline constexpr std::uint32_t kMaxPieceSize = 65536;

// The pieces in the order of the head's offset/size pairs.
enum class Piece { Data, Prog, FlashBoot, Prog2nd };
inline constexpr std::array<Piece, 4> kHeadPieceOrder = {Piece::Data, Piece::Prog, Piece::FlashBoot,
                                                         Piece::Prog2nd};
// The file name of a piece in the temporary folder ("data.bin", ...).
const char* pieceFileName(Piece piece);

struct PieceExtent {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// The 104 bytes as read; fields are decoded on demand.
struct BootHead {
    std::array<std::uint8_t, kBootHeadSize> bytes{};

    // The signature matches byte for byte up to and including its NUL.
    [[nodiscard]] bool signatureValid() const;
    std::uint16_t date(int index) const;      // index 0..2: words at 0x30, 0x32, 0x34
    std::uint32_t loaderVersionHigh() const;  // 0x3C
    std::uint32_t loaderVersionLow() const;   // 0x40
    // Words the engine does not read; the tools show them as the release time (hour,
    // minute, second at 0x36, 0x38, 0x3A) and the merge version (0x64).
    std::uint16_t releaseTime(int index) const;
    std::uint32_t mergeVersion() const;
    PieceExtent extent(Piece piece) const;
};

// The head from the first bytes of a file; fewer than 104 bytes leave the rest zero.
BootHead bootHeadFromBytes(std::span<const std::uint8_t> bytes);

// A decimal value as four BCD digits, thousands in the high nibble (2008 -> 0x2008).
// Only the four low decimal digits of a larger value are kept.
std::uint16_t toBcd(std::uint32_t value);

// The loader version as the version queries give it: BCD of the words at 0x3C and 0x40.
struct LoaderVersion {
    std::uint16_t high = 0;
    std::uint16_t low = 0;
};
LoaderVersion loaderVersion(const BootHead& head);

// The three words the ID Block takes from the head: BCD(date 0); low bytes of BCD(date 1)
// and BCD(date 2); low bytes of BCD(version high) and BCD(version low).
std::array<std::uint16_t, 3> idBlockWords(const BootHead& head);

// What the packer needs to write a loader file.
struct LoaderSpec {
    std::array<std::uint16_t, 3> dates{};  // year, month, day
    std::uint32_t versionHigh = 0;
    std::uint32_t versionLow = 0;
    // Piece contents in the order data, prog, FlashBoot, prog2nd (kHeadPieceOrder).
    std::array<std::vector<std::uint8_t>, 4> pieces;
};

// The whole loader file: the head, then the pieces in head order, each at a 512-byte
// boundary. Nothing when a piece is larger than kMaxPieceSize.
std::optional<std::vector<std::uint8_t>> buildLoaderFile(const LoaderSpec& spec);

}  // namespace cv50::flash
