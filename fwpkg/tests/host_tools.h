// Running the host's file system tools (dosfstools, mtools) from tests, and host files.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace cv50::fwpkg::testing {

struct Shell {
    int status = -1;
    std::string output;  // stdout and stderr
};

inline Shell run(const std::string& command) {
    Shell r;
    std::FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::string shellQuoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

inline void writeFile(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace cv50::fwpkg::testing
