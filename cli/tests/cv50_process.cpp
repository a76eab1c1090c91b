#include "cli/tests/cv50_process.h"

#include <sys/wait.h>

#include <cstdio>

namespace cv50::cli::testing {

Outcome cv50(const std::string& args) {
    const std::string command = std::string(CV50_BINARY) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    const int raw = pclose(pipe);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out};
}

std::string packedImage(const sim::testing::TempFolder& folder) {
    const std::string loader = folder.path() + "/CVBOOT.BIN";
    cv50("loader sample " + folder.path() + "/pieces");
    cv50("loader pack --pieces " + folder.path() + "/pieces -o " + loader);
    const std::string image = folder.path() + "/fw.img";
    cv50("image pack --loader " + loader + " -o " + image +
         " --system-version 1.2 --system-disk 64 --config-disk 16");
    return image;
}

}  // namespace cv50::cli::testing
