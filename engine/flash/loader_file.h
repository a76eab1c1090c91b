// The loader file "CVBOOT.BIN": taken out of a firmware image by the package library
// CV60FSDLL, checked by its head and cut into its four pieces in the temporary folder.
#pragma once

#include <array>
#include <string>

#include "engine/flash/boot_head.h"

namespace cv50::flash {

// The library the engine loads by name (standard search order).
inline constexpr char kPackageLibrary[] = "CV60FSDLL.dll";
inline constexpr char kLoaderFileName[] = "CVBOOT.BIN";
// Capacity of a piece path with its NUL; a longer path is refused, never cut.
inline constexpr std::size_t kPiecePathCapacity = 260;

// What extractLoaderFile logs when it fails; a program may say it in its own language.
struct ExtractTexts {
    const char* loadFailed;        // the library cannot be loaded
    const char* functionMissing;   // "%s": the function's name
    const char* loaderPathFailed;  // FS_GetLoaderPath answered 0
    const char* writeFailed;       // "%d": FS_WriteFileToPC's result
};
inline constexpr ExtractTexts kExtractTexts{
    "ERROR:Loading CV60FSDLL failed", "ERROR:Getting %s failed", "ERROR:FS_GetLoaderPath failed",
    "ERROR:FS_WriteFileToPC failed,ErrCode(%d)"};

// Has the package library `library` (a name or a path) copy the loader of `imagePath`
// to `outFile`. Logs every failure; false on any of them. The library is freed, and
// FS_DeInitialize follows FS_Initialize, on every path.
[[nodiscard]] bool extractLoaderFile(const std::string& imagePath, const std::string& outFile,
                                     const std::string& library = kPackageLibrary,
                                     const ExtractTexts& texts = kExtractTexts);

// The temporary folder with "\" appended when it does not already end in one; empty when
// the system reports none.
std::string bootTempFolder();

// Reads the first 104 bytes of `loaderPath` (missing bytes read as zero). False when the
// file cannot be opened or the signature does not match.
[[nodiscard]] bool readBootHead(const std::string& loaderPath, BootHead& head);

// The piece files in the order data.bin, prog.bin, prog2nd.bin, FlashBoot.bin.
struct PiecePaths {
    std::string data, prog, prog2nd, flashBoot;
    const std::string& of(Piece piece) const;
};

// Checks the head and cuts the four pieces into the temporary folder. Logs and returns
// false on failure; pieces already written stay on disk.
[[nodiscard]] bool unpackBoot(const std::string& loaderPath, PiecePaths& paths, BootHead& head);

}  // namespace cv50::flash
