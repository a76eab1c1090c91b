// Tests: host files and folders, and bytes to fill them with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace cv50::sim::testing {

// Writes `bytes` as the file `path`, replacing it and making its folders; throws when the
// file cannot be written, so a test never goes on with an input that is not there.
void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void writeTextFile(const std::filesystem::path& path, const std::string& text);

// The bytes of the file `path`; empty when there is no such file.
std::vector<std::uint8_t> readFile(const std::filesystem::path& path);
std::string readTextFile(const std::filesystem::path& path);

// `n` bytes, each different from the one before it and from the one 256 before it, so a
// misplaced or repeated piece shows; `seed` shifts them all.
std::vector<std::uint8_t> patternBytes(std::size_t n, std::uint8_t seed);

// A temporary folder removed with everything in it at the end of the scope.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // The host path, without a trailing separator.
    const std::string& path() const { return path_; }
    // The host path of `name` inside it ("a/b" for a file in a subfolder).
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Makes the folder `name` inside it (with any folders above) and gives its host path.
    std::string makeFolder(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace cv50::sim::testing
