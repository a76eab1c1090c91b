// Fuzz support: a temporary folder of this process (libFuzzer may run several at once),
// removed with what it holds when the process ends normally.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace cv50::fuzz {

class ProcessFolder {
public:
    explicit ProcessFolder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("cv50_fuzz_" + name + "_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ProcessFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ProcessFolder(const ProcessFolder&) = delete;
    ProcessFolder& operator=(const ProcessFolder&) = delete;

    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

}  // namespace cv50::fuzz
