#include "sim/testing/scoped_sim.h"

#include <atomic>
#include <chrono>
#include <filesystem>

namespace cv50::sim::testing {

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::filesystem::path p = std::filesystem::temp_directory_path() /
                                    ("cv50-test-" + std::to_string(stamp) + "-" +
                                     std::to_string(counter++));
    std::filesystem::create_directories(p);
    path_ = p.string();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace cv50::sim::testing
