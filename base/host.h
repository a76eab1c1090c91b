// What differs between the hosts the tools run on (Windows, Linux): the C library's
// large-file and terminal calls, local time, path separators, the running program and
// shared libraries. One implementation file per host; no other file asks which host it is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace cv50::base {

// Positions `f` at `offset` from its start; false when the seek fails.
[[nodiscard]] bool seekFile(std::FILE* f, std::uint64_t offset);
// The length of `f`, leaving it positioned at its end; nothing when it cannot be told.
[[nodiscard]] std::optional<std::uint64_t> fileLength(std::FILE* f);
// Whether `f` writes to a terminal (so progress may be redrawn in place).
[[nodiscard]] bool isTerminal(std::FILE* f);
// The broken-down local time of `t`.
[[nodiscard]] std::tm localTimeOf(std::time_t t);

// An engine path ("C:\x\y", "\" as separator) in the host's form.
[[nodiscard]] std::string hostPath(const std::string& enginePath);
// std::fopen of a path given in UTF-16 (an engine path), with `mode` ("ab", ...).
[[nodiscard]] std::FILE* openFileUtf16(const std::u16string& enginePath, const char* mode);
// The host path of the running program, or empty when it cannot be told.
[[nodiscard]] std::string executablePath();
// Opens a file for reading and writing without sharing it, creating it when missing and
// never truncating it; positioned at the start. nullptr on failure (errno set).
[[nodiscard]] std::FILE* openExclusiveReadWrite(const std::string& hostFile);

// The host files to try, in order, for a library named as on Windows ("X.dll", or a
// path); `programFolder` is the host folder of the running program.
[[nodiscard]] std::vector<std::string> libraryCandidates(const std::string& name,
                                                         const std::string& programFolder);
// A shared library by host file name; nullptr when it cannot be loaded.
[[nodiscard]] void* openLibrary(const std::string& hostFile);
[[nodiscard]] void* librarySymbol(void* library, const char* name);
void closeLibrary(void* library);

}  // namespace cv50::base
