// Running the host's file system tools (dosfstools, mtools) from tests.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

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

}  // namespace cv50::fwpkg::testing
