// Extracting the loader file through CV60FSDLL and unpacking its pieces.
#include "engine/flash/loader_file.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "base/host.h"
#include "engine/device/log.h"
#include "engine/os/os.h"

namespace cv50::flash {
namespace {

using FsInitializeFn = int (*)(const char* imagePath, int reserved1, int reserved2);
using FsWriteFileToPcFn = int (*)(const char* source, const char* destination);
using FsGetLoaderPathFn = int (*)(char* buffer);
using FsDeInitializeFn = int (*)();

constexpr std::size_t kLoaderPathBuffer = 260;

using os::LoadedLibrary;

// The ordered cut of one piece: open the piece file, seek, read exactly, write. A piece must
// lie inside the file: the exact read alone would let an empty one lie past its end.
bool cutPiece(std::FILE* loader, std::optional<std::uint64_t> loaderLength,
              const PieceExtent& extent, const std::string& piecePath) {
    if (extent.size > kMaxPieceSize) return false;
    if (!loaderLength || std::uint64_t{extent.offset} + extent.size > *loaderLength) return false;
    os::UniqueFile out(os::current().openFile(piecePath, "wb"));
    if (!out) return false;
    std::vector<std::uint8_t> buffer(kMaxPieceSize);
    if (std::fseek(loader, static_cast<long>(extent.offset), SEEK_SET) != 0) return false;
    if (std::fread(buffer.data(), 1, extent.size, loader) != extent.size) return false;
    if (std::fwrite(buffer.data(), 1, extent.size, out.get()) != extent.size) return false;
    return std::fclose(out.release()) == 0;
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
bool extractLoaderFile(const std::string& imagePath, const std::string& outFile,
                       const std::string& library, const ExtractTexts& texts) {
    LoadedLibrary lib(library);
    if (!lib) {
        Log("%s", texts.loadFailed);
        return false;
    }
    // The texts are the caller's constants, each with the argument said in ExtractTexts.
    const auto function = [&]<typename Fn>(const char* name, Fn& out) {
        out = lib.function<Fn>(name);
        if (!out) Log(texts.functionMissing, name);
        return out != nullptr;
    };
    FsInitializeFn initialize = nullptr;
    FsWriteFileToPcFn writeFileToPc = nullptr;
    FsGetLoaderPathFn getLoaderPath = nullptr;
    FsDeInitializeFn deInitialize = nullptr;
    if (!function("FS_Initialize", initialize) || !function("FS_WriteFileToPC", writeFileToPc) ||
        !function("FS_GetLoaderPath", getLoaderPath) ||
        !function("FS_DeInitialize", deInitialize))
        return false;

    (void)initialize(imagePath.c_str(), 0, 0);
    // One byte more than the library may fill, so the path always ends in a NUL.
    char buffer[kLoaderPathBuffer + 1] = {};
    if (getLoaderPath(buffer) == 0) {
        Log("%s", texts.loaderPathFailed);
        (void)deInitialize();
        return false;
    }
    const std::string source = std::string("C:\\") + buffer;
    const int result = writeFileToPc(source.c_str(), outFile.c_str());
    if (result != 0) Log(texts.writeFailed, result);
    (void)deInitialize();
    return result == 0;
}
#pragma GCC diagnostic pop

std::string bootTempFolder() {
    std::string folder = os::current().tempFolder();
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

bool readBootHead(const std::string& loaderPath, BootHead& head) {
    head = BootHead{};
    os::UniqueFile file(os::current().openFile(loaderPath, "rb"));
    if (!file) return false;
    (void)std::fread(head.bytes.data(), 1, head.bytes.size(), file.get());
    return head.signatureValid();
}

const std::string& PiecePaths::of(Piece piece) const {
    switch (piece) {
        case Piece::Data:
            return data;
        case Piece::Prog:
            return prog;
        case Piece::Prog2nd:
            return prog2nd;
        case Piece::FlashBoot:
            return flashBoot;
    }
    return data;
}

bool unpackBoot(const std::string& loaderPath, PiecePaths& paths, BootHead& head) {
    if (!readBootHead(loaderPath, head)) {
        Log("Error:Getting the info of boot head failed");
        return false;
    }
    const std::string folder = bootTempFolder();
    const auto pathOf = [&folder](Piece piece) { return folder + pieceFileName(piece); };
    paths = {pathOf(Piece::Data), pathOf(Piece::Prog), pathOf(Piece::Prog2nd),
             pathOf(Piece::FlashBoot)};
    bool ok = !folder.empty();
    for (Piece piece : {Piece::Data, Piece::Prog, Piece::Prog2nd, Piece::FlashBoot})
        ok = ok && paths.of(piece).size() < kPiecePathCapacity;

    os::UniqueFile loader(ok ? os::current().openFile(loaderPath, "rb") : nullptr);
    ok = ok && loader != nullptr;
    const std::optional<std::uint64_t> length =
        ok ? base::fileLength(loader.get()) : std::nullopt;
    for (Piece piece : {Piece::Data, Piece::Prog, Piece::Prog2nd, Piece::FlashBoot}) {
        if (!ok) break;
        ok = cutPiece(loader.get(), length, head.extent(piece), paths.of(piece));
    }
    if (!ok) {
        Log("Error:Unpack the boot file failed");
        return false;
    }
    return true;
}

}  // namespace cv50::flash
