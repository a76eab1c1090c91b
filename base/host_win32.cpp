// The host calls on Windows.
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include "base/host.h"

namespace cv50::base {

bool seekFile(std::FILE* f, std::uint64_t offset) {
    return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
}

std::optional<std::uint64_t> fileLength(std::FILE* f) {
    if (_fseeki64(f, 0, SEEK_END) != 0) return std::nullopt;
    const long long end = _ftelli64(f);
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
}

bool isTerminal(std::FILE* f) { return _isatty(_fileno(f)) != 0; }

std::tm localTimeOf(std::time_t t) {
    std::tm tm{};
    localtime_s(&tm, &t);
    return tm;
}

std::string hostPath(const std::string& enginePath) { return enginePath; }

std::FILE* openFileUtf16(const std::u16string& enginePath, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(reinterpret_cast<const wchar_t*>(enginePath.c_str()), wideMode.c_str());
}

std::string executablePath() {
    char buf[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    return std::string(buf, n < sizeof buf ? n : 0);
}

std::FILE* openExclusiveReadWrite(const std::string& hostFile) {
    int fd = -1;
    if (_sopen_s(&fd, hostFile.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _SH_DENYRW,
                 _S_IREAD | _S_IWRITE) != 0)
        return nullptr;
    std::FILE* f = _fdopen(fd, "r+b");
    if (!f) _close(fd);
    return f;
}

// The system's own search order finds a library by its name.
std::vector<std::string> libraryCandidates(const std::string& name, const std::string&) {
    return {name};
}

void* openLibrary(const std::string& hostFile) {
    return reinterpret_cast<void*>(LoadLibraryA(hostFile.c_str()));
}

void* librarySymbol(void* library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace cv50::base
