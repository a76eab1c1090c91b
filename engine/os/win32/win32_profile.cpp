// GetPrivateProfileString/Int and FindFirstFile/FindNextFile, A and W, each as it stands but
// for the narrow read of a file with a byte-order mark, which gives UTF-8 as the programs'
// narrow texts are: the A call would give the ANSI code page's bytes.
#define WIN32_LEAN_AND_MEAN
#include "engine/os/win32/win32_profile.h"

#include <windows.h>

#include <fstream>
#include <limits>

#include "base/unicode.h"

namespace cv50::os::win32 {
namespace {

// char16_t and wchar_t are both UTF-16 units here.
const wchar_t* wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

DWORD bufferSize(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
}

// The file starts with a UTF-16 or UTF-8 byte-order mark.
bool markedUnicode(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char head[3] = {};
    file.read(reinterpret_cast<char*>(head), 3);
    const std::streamsize n = file.gcount();
    return (n >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF))) ||
           (n == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF);
}

}  // namespace

std::string profileString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& fallback, std::size_t size) {
    if (size != 0 && markedUnicode(path)) {
        const std::string text = base::utf8FromUtf16(
            profileStringW(base::utf16FromUtf8(path), base::utf16FromUtf8(section),
                           base::utf16FromUtf8(key), base::utf16FromUtf8(fallback), size));
        return std::string(base::cutUtf8(text, size - 1));
    }
    std::string buf(std::max<std::size_t>(size, 1), '\0');
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(),
                                             buf.data(), bufferSize(size), path.c_str());
    buf.resize(std::min<std::size_t>(n, size == 0 ? 0 : size - 1));
    return buf;
}

std::u16string profileStringW(const std::u16string& path, const std::u16string& section,
                              const std::u16string& key, const std::u16string& fallback,
                              std::size_t size) {
    std::u16string buf(std::max<std::size_t>(size, 1), u'\0');
    const DWORD n = GetPrivateProfileStringW(wide(section), wide(key), wide(fallback),
                                             reinterpret_cast<wchar_t*>(buf.data()),
                                             bufferSize(size), wide(path));
    buf.resize(std::min<std::size_t>(n, size == 0 ? 0 : size - 1));
    return buf;
}

int profileInt(const std::string& path, const std::string& section, const std::string& key,
               int fallback) {
    return static_cast<int>(
        GetPrivateProfileIntA(section.c_str(), key.c_str(), fallback, path.c_str()));
}

int profileIntW(const std::u16string& path, const std::u16string& section,
                const std::u16string& key, int fallback) {
    return static_cast<int>(GetPrivateProfileIntW(wide(section), wide(key), fallback, wide(path)));
}

std::vector<FoundFile> findFiles(const std::string& pattern) {
    std::vector<FoundFile> found;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        found.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return found;
}

std::vector<FoundFileW> findFilesW(const std::u16string& pattern) {
    std::vector<FoundFileW> found;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(wide(pattern), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        found.push_back({reinterpret_cast<const char16_t*>(data.cFileName),
                         (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

std::FILE* openFileW(const std::u16string& path, const char* mode) {
    if (path.empty() || mode == nullptr) return nullptr;
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(wide(path), wideMode.c_str());
}

}  // namespace cv50::os::win32
