#include "sim/testing/test_files.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace cv50::sim::testing {
namespace {

void writeBytes(const std::filesystem::path& path, const char* bytes, std::size_t size) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes, static_cast<std::streamsize>(size));
    out.close();
    if (!out) throw std::runtime_error("cannot write the test file " + path.string());
}

}  // namespace

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    writeBytes(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void writeTextFile(const std::filesystem::path& path, const std::string& text) {
    writeBytes(path, text.data(), text.size());
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string readTextFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> patternBytes(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(seed + 7 * i + (i >> 8));
    return out;
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::filesystem::path p =
        std::filesystem::temp_directory_path() /
        ("cv50-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(p);
    path_ = p.string();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempFolder::makeFolder(const std::string& name) const {
    const std::string folder = file(name);
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace cv50::sim::testing
