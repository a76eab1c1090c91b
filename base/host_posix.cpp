// The host calls on Linux and other POSIX systems.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/host.h"
#include "base/text.h"
#include "base/unicode.h"

namespace cv50::base {

bool seekFile(std::FILE* f, std::uint64_t offset) {
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::optional<std::uint64_t> fileLength(std::FILE* f) {
    if (fseeko(f, 0, SEEK_END) != 0) return std::nullopt;
    const off_t end = ftello(f);
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
}

bool isTerminal(std::FILE* f) { return isatty(fileno(f)) != 0; }

std::tm localTimeOf(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

std::string hostPath(const std::string& enginePath) {
    std::string p = enginePath;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

std::FILE* openFileUtf16(const std::u16string& enginePath, const char* mode) {
    return std::fopen(hostPath(utf8FromUtf16(enginePath)).c_str(), mode);
}

std::string executablePath() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

std::FILE* openExclusiveReadWrite(const std::string& hostFile) {
    const int fd = ::open(hostFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "r+b");
    if (!f) ::close(fd);
    return f;
}

// "X.dll" is the shared object "libX.so", looked for beside the program first.
std::vector<std::string> libraryCandidates(const std::string& name,
                                           const std::string& programFolder) {
    const std::string file = hostPath(name);
    const auto slash = file.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : file.substr(0, slash + 1);
    std::string stem = slash == std::string::npos ? file : file.substr(slash + 1);
    if (stem.size() > 4 && upper(stem.substr(stem.size() - 4)) == ".DLL")
        stem = "lib" + stem.substr(0, stem.size() - 4) + ".so";
    if (!dir.empty()) return {dir + stem};
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return {folder + stem, stem};
}

void* openLibrary(const std::string& hostFile) {
    return ::dlopen(hostFile.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* librarySymbol(void* library, const char* name) {
    return library ? ::dlsym(library, name) : nullptr;
}

void closeLibrary(void* library) {
    if (library) ::dlclose(library);
}

}  // namespace cv50::base
