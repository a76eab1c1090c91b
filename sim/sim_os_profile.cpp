// The simulator's profile files and folder search: the host's files, read through the
// portable profile reader, and a folder search in the order the system's was seen to use
// (".", "..", then names compared in upper case).
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/host.h"
#include "base/unicode.h"
#include "sim/profile_file.h"
#include "sim/sim_os.h"

namespace cv50::sim {
namespace {

namespace fs = std::filesystem;

// Narrow engine paths are UTF-8.
fs::path hostFsPath(const std::string& enginePath) {
    const std::string host = base::hostPath(enginePath);
    return fs::path(std::u8string(host.begin(), host.end()));
}

std::string utf8Name(const fs::path& p) {
    const std::u8string name = p.filename().u8string();
    return std::string(name.begin(), name.end());
}

// A missing or unreadable file reads as an empty one: every value is its fallback.
ProfileFile profileOf(const std::string& enginePath) {
    std::error_code ec;
    const fs::path host = hostFsPath(enginePath);
    if (enginePath.empty() || !fs::is_regular_file(host, ec))
        return ProfileFile(std::string_view());
    // In one read: a settings file may be megabytes long, and every value read reads it again.
    std::ifstream in(host, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(fs::file_size(host, ec)), '\0');
    if (ec) return ProfileFile(std::string_view());
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return ProfileFile(std::string_view(bytes));
}

char16_t upperAscii(char16_t c) { return c >= 'a' && c <= 'z' ? char16_t(c - 'a' + 'A') : c; }

std::u16string upperName(const std::string& utf8) {
    std::u16string u = base::utf16FromUtf8(utf8);
    std::transform(u.begin(), u.end(), u.begin(), upperAscii);
    return u;
}

// "*" and "?" against upper-cased names; short (8.3) names are not matched.
bool wildcardMatch(std::u16string_view pattern, std::u16string_view name) {
    std::size_t p = 0, n = 0, star = std::u16string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool patternMatch(const std::u16string& pattern, const std::string& name) {
    const std::u16string upper = upperName(name);
    if (wildcardMatch(pattern, upper)) return true;
    // A final ".*" also matches a name without an extension ("*.*" matches everything).
    return pattern.size() >= 2 && pattern.ends_with(u".*") &&
           wildcardMatch(std::u16string_view(pattern).substr(0, pattern.size() - 2), upper);
}

}  // namespace

std::string SimOs::profileString(const std::string& path, const std::string& section,
                                 const std::string& key, const std::string& fallback,
                                 std::size_t size) {
    return profileOf(path).readString(section, key, fallback, size);
}

std::u16string SimOs::profileStringW(const std::u16string& path, const std::u16string& section,
                                     const std::u16string& key, const std::u16string& fallback,
                                     std::size_t size) {
    return profileOf(base::utf8FromUtf16(path)).readStringW(section, key, fallback, size);
}

int SimOs::profileInt(const std::string& path, const std::string& section, const std::string& key,
                      int fallback) {
    return profileOf(path).readInt(section, key, fallback);
}

int SimOs::profileIntW(const std::u16string& path, const std::u16string& section,
                       const std::u16string& key, int fallback) {
    return profileOf(base::utf8FromUtf16(path)).readIntW(section, key, fallback);
}

std::vector<os::FoundFile> SimOs::findFiles(const std::string& pattern) {
    const std::size_t slash = pattern.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    const std::u16string namePattern =
        upperName(slash == std::string::npos ? pattern : pattern.substr(slash + 1));
    std::vector<os::FoundFile> found;
    std::error_code ec;
    fs::directory_iterator it(hostFsPath(folder), ec);
    if (namePattern.empty() || ec) return found;
    for (const fs::directory_entry& entry : it) {
        const std::string name = utf8Name(entry.path());
        if (patternMatch(namePattern, name)) found.push_back({name, entry.is_directory(ec)});
    }
    std::sort(found.begin(), found.end(), [](const os::FoundFile& a, const os::FoundFile& b) {
        return upperName(a.name) < upperName(b.name);
    });
    // The folder's own entries come first, where the pattern takes them.
    for (const char* dots : {"..", "."})
        if (patternMatch(namePattern, dots)) found.insert(found.begin(), {dots, true});
    return found;
}

std::vector<os::FoundFileW> SimOs::findFilesW(const std::u16string& pattern) {
    std::vector<os::FoundFileW> found;
    for (const os::FoundFile& f : findFiles(base::utf8FromUtf16(pattern)))
        found.push_back({base::utf16FromUtf8(f.name), f.folder});
    return found;
}

std::FILE* SimOs::openFileW(const std::u16string& path, const char* mode) {
    if (path.empty() || mode == nullptr) return nullptr;
    return base::openFileUtf16(path, mode);
}

}  // namespace cv50::sim
