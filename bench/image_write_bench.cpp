// Benchmark: the peak memory of the process while it writes and checks images of growing
// size, against the smallest image measured in the same run. A download that streams its
// image keeps the ratio near 1 whatever the size.
//
//   image_write_bench [SIZE_MIB ...]     (default: 64 256 1024)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// psapi after windows.h
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include "bench/generated_disk.h"
#include "engine/flash/image_download.h"
#include "engine/os/os.h"
#include "sim/scenario.h"
#include "sim/sim_os.h"

namespace {

constexpr const char* kDevicePath =
    "\\\\?\\USB#VID_071B&PID_3201#BENCH#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

double peakRssMiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;  // KiB on Linux
#endif
}

// An image whose disk part is the generator's sectors, then a 32-byte check value.
void writeImage(const std::string& path, std::uint64_t mib) {
    std::ofstream out(path, std::ios::binary);
    std::vector<std::uint8_t> chunk(1 << 20);
    for (std::uint64_t m = 0; m < mib; ++m) {
        for (std::size_t s = 0; s < chunk.size() / 512; ++s)
            cv50::bench::generateSector(m * 2048 + s,
                                        std::span<std::uint8_t, 512>(chunk.data() + s * 512, 512));
        out.write(reinterpret_cast<const char*>(chunk.data()),
                  static_cast<std::streamsize>(chunk.size()));
    }
    out << std::string(32, 'C');
}

struct Run {
    std::uint64_t mib;
    double peakMiB;
    double seconds;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::uint64_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {64, 256, 1024};
    for (std::uint64_t s : sizes)
        if (s == 0) {
            std::fprintf(stderr, "image_write_bench: sizes are whole MiB above 0\n");
            return 2;
        }

    auto sim = std::make_unique<cv50::sim::SimOs>(
        cv50::sim::parseScenario(R"({"controllers": []})", "bench"));
    cv50::sim::SimOs* simOs = sim.get();
    cv50::os::install(std::move(sim));
    const std::string folder = std::filesystem::temp_directory_path().string();

    // Ascending sizes: the process's peak after each run is that run's peak, since a
    // smaller earlier run cannot have raised it further.
    std::sort(sizes.begin(), sizes.end());
    std::vector<Run> runs;
    for (std::uint64_t mib : sizes) {
        const std::string image =
            (std::filesystem::path(folder) / ("cv50-bench-" + std::to_string(mib) + ".img"))
                .string();
        writeImage(image, mib);
        auto disk = std::make_shared<cv50::bench::GeneratedDisk>();
        simOs->attachEndpoint(kDevicePath, disk);
        const auto start = std::chrono::steady_clock::now();
        const int result = cv50::flash::DownloadImage(kDevicePath, image);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        simOs->detachEndpoint(kDevicePath);
        std::filesystem::remove(image);
        if (result != 0 || disk->mismatches() != 0) {
            std::fprintf(stderr,
                         "image_write_bench: %llu MiB: DownloadImage %d, %llu bytes differ\n",
                         static_cast<unsigned long long>(mib), result,
                         static_cast<unsigned long long>(disk->mismatches()));
            return 1;
        }
        runs.push_back({mib, peakRssMiB(), seconds});
    }

    const Run& base = runs.front();
    std::printf("%10s %14s %12s %12s %16s\n", "image MiB", "peak RSS MiB", "size ratio",
                "RSS ratio", "s/MiB ratio");
    for (const Run& r : runs)
        std::printf("%10llu %14.1f %12.2f %12.3f %16.2f\n", static_cast<unsigned long long>(r.mib),
                    r.peakMiB, static_cast<double>(r.mib) / static_cast<double>(base.mib),
                    r.peakMiB / base.peakMiB,
                    (r.seconds / static_cast<double>(r.mib)) /
                        (base.seconds / static_cast<double>(base.mib)));
    return 0;
}
