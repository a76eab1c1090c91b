// Packing loader files and firmware images.
#include "fwpkg/packer.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "base/text.h"
#include "engine/flash/md5.h"

namespace cv50::fwpkg {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File openForWriting(const std::filesystem::path& path) {
    File f(std::fopen(path.string().c_str(), "wb"), &std::fclose);
    if (!f) throw std::runtime_error("cannot create " + path.string());
    return f;
}

void checkDecimal(std::uint32_t value, const char* what) {
    if (value > 9999) throw std::runtime_error(std::string(what) + " must be 0-9999");
}

}  // namespace

std::vector<std::uint8_t> readHostFile(const std::filesystem::path& path, std::uint64_t limit) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) throw std::runtime_error("cannot read " + path.string() + ": " + ec.message());
    if (size > limit)
        throw std::runtime_error(path.string() + " is larger than " + std::to_string(limit) +
                                 " bytes");
    File f(std::fopen(path.string().c_str(), "rb"), &std::fclose);
    if (!f) throw std::runtime_error("cannot open " + path.string());
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

std::uint64_t packLoader(const LoaderPackInput& input, const std::filesystem::path& out) {
    for (std::uint16_t d : input.dates) checkDecimal(d, "a date value");
    checkDecimal(input.versionHigh, "the version's high part");
    checkDecimal(input.versionLow, "the version's low part");
    flash::LoaderSpec spec;
    spec.dates = input.dates;
    spec.versionHigh = input.versionHigh;
    spec.versionLow = input.versionLow;
    for (std::size_t i = 0; i < flash::kHeadPieceOrder.size(); ++i) {
        const flash::Piece piece = flash::kHeadPieceOrder[i];
        const std::filesystem::path& path = piece == flash::Piece::Data        ? input.data
                                            : piece == flash::Piece::Prog      ? input.prog
                                            : piece == flash::Piece::FlashBoot ? input.flashBoot
                                                                               : input.prog2nd;
        spec.pieces[i] = readHostFile(path, flash::kMaxPieceSize);
    }
    const auto file = flash::buildLoaderFile(spec);
    if (!file) throw std::runtime_error("a piece is larger than 65536 bytes");
    File f = openForWriting(out);
    bool ok = std::fwrite(file->data(), 1, file->size(), f.get()) == file->size();
    ok = std::fclose(f.release()) == 0 && ok;
    if (!ok) {
        std::error_code ec;
        std::filesystem::remove(out, ec);
        throw std::runtime_error("writing " + out.string() + " failed");
    }
    return file->size();
}

PackedImage packImage(const ImagePackInput& input, const std::filesystem::path& out) {
    if (input.tag.size() > flash::kTailTagSize)
        throw std::runtime_error("the tag has more than 7 characters");
    FatNode root;
    root.directory = true;
    if (!input.folder.empty()) root = treeFromFolder(input.folder);
    for (const FatNode& c : root.children)
        if (base::equalNoCase(c.name, "CVBOOT.BIN"))
            throw std::runtime_error(
                "the folder has a CVBOOT.BIN of its own; give it as the loader file");
    FatNode loader;
    loader.name = "CVBOOT.BIN";
    loader.bytes = readHostFile(input.loaderFile, 64u * 1024 * 1024);
    if (!flash::bootHeadFromBytes(loader.bytes).signatureValid())
        throw std::runtime_error(input.loaderFile.string() + " is not a loader file (wrong head)");
    root.children.push_back(std::move(loader));

    PackedImage result;
    File f = openForWriting(out);
    try {
        flash::Md5 md5;
        const ByteSink sink = [&](std::span<const std::uint8_t> bytes) {
            if (bytes.empty()) return true;
            md5.update(bytes);
            return std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
        };
        result.fatBytes = writeFatImage(root, input.fat, sink);
        const std::uint64_t content = result.fatBytes + flash::kTailBlockSize;
        const std::uint64_t pad = (kImageAlignment - content % kImageAlignment) % kImageAlignment;
        const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(pad), 0);
        if (!sink(zeros)) throw std::runtime_error("writing the image failed");
        flash::TailBlock tail = flash::buildTailBlock(input.tail, input.tag);
        if (input.crc) flash::setTailCrc(tail, *input.crc);
        if (!sink(tail.bytes)) throw std::runtime_error("writing the image failed");
        result.checkValue = flash::Md5::hex(md5.finish());
        if (std::fwrite(result.checkValue.data(), 1, result.checkValue.size(), f.get()) !=
                result.checkValue.size() ||
            std::fclose(f.release()) != 0)
            throw std::runtime_error("writing the image failed");
        result.totalBytes = result.fatBytes + pad + flash::kTrailerSize;
    } catch (...) {
        f.reset();
        std::error_code ec;
        std::filesystem::remove(out, ec);
        throw;
    }
    return result;
}

std::vector<std::uint8_t> samplePiece(flash::Piece piece) {
    std::size_t size = 0;
    std::uint32_t seed = 0;
    switch (piece) {
        case flash::Piece::Data:
            size = 512, seed = 0x1001;  // also the ID Block's FlashData: at most one sector
            break;
        case flash::Piece::Prog:
            size = 6144, seed = 0x2002;
            break;
        case flash::Piece::Prog2nd:
            size = 24576, seed = 0x3003;
            break;
        case flash::Piece::FlashBoot:
            size = 16384, seed = 0x4004;
            break;
    }
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = seed;
    for (std::uint8_t& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    const std::string head = std::string("CV50 sample ") + flash::pieceFileName(piece);
    std::memcpy(bytes.data(), head.c_str(), head.size() + 1);
    return bytes;
}

std::vector<std::uint8_t> sampleLoaderFile() {
    flash::LoaderSpec spec;
    spec.dates = {2008, 12, 20};
    spec.versionHigh = 1;
    spec.versionLow = 23;
    for (std::size_t i = 0; i < 4; ++i) spec.pieces[i] = samplePiece(flash::kHeadPieceOrder[i]);
    return *flash::buildLoaderFile(spec);
}

void writeSamplePieces(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (flash::Piece piece : flash::kHeadPieceOrder) {
        const std::vector<std::uint8_t> bytes = samplePiece(piece);
        const std::filesystem::path path = folder / flash::pieceFileName(piece);
        File f = openForWriting(path);
        if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size() ||
            std::fclose(f.release()) != 0)
            throw std::runtime_error("writing " + path.string() + " failed");
    }
}

}  // namespace cv50::fwpkg
