// CV60FSDLL, the firmware-package library: the package is a firmware image whose start
// is a FAT12, FAT16 or FAT32 file system (the system disk). Four functions, by C name:
//
//   int FS_Initialize(const char* imagePath, int reserved1, int reserved2)
//       Opens the package (closing one opened before). 0 = opened, else an FsError.
//       The reserved arguments are not read; callers pass 0.
//   int FS_GetLoaderPath(char* buffer)
//       Looks for the loader file "CVBOOT.BIN" (names compared without ASCII case, long or
//       8.3): first in the root directory, then in each directory of the root, in on-disk
//       order; the first file found wins. Writes its path inside the package, components
//       joined by "\" and without a leading one (for example "CVBOOT.BIN" or
//       "SYSTEM\CVBOOT.BIN"), NUL-terminated, into `buffer`, which holds 260 bytes; never
//       writes more. 1 = found; 0 = no package open, no loader, a damaged image, or a path
//       that would not fit.
//   int FS_WriteFileToPC(const char* source, const char* destination)
//       Copies the package file `source` ("C:\" followed by its path inside the package; the
//       drive letter without regard to case) to the file `destination`, created or
//       replaced. 0 = written, else an FsError.
//   int FS_DeInitialize()
//       Closes the package; 0.
//
// On hosts whose separator is "/", a "\" in the image or destination path is taken as
// the separator, as the engine writes its paths with "\". Calls are serialised by one lock.
#pragma once

namespace cv50::fwpkg {

enum FsError : int {
    FsOk = 0,
    FsNotOpen = 1,        // no package is open
    FsOpenFailed = 2,     // the image file cannot be opened
    FsBadImage = 3,       // the image holds no readable FAT file system
    FsBadSourcePath = 4,  // the source does not start with "C:\"
    FsNotFound = 5,       // no such file in the package
    FsNotAFile = 6,       // the source names a directory
    FsDamaged = 7,        // the file's clusters or its directory are damaged
    FsCreateFailed = 8,   // the destination cannot be created
    FsWriteFailed = 9,    // writing the destination failed
};

inline constexpr unsigned kLoaderPathCapacity = 260;

}  // namespace cv50::fwpkg
