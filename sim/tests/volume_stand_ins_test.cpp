// The simulated format library and shell copy on a player's volume, with the volumes held
// in memory by the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/os/format_library.h"
#include "fwpkg/fat_reader.h"
#include "fwpkg/memory_sector_device.h"
#include "fwpkg/sector_device_io.h"
#include "sim/testing/forwarding_os.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::sim {
namespace {

using fwpkg::FatEntry;
using fwpkg::FatError;
using fwpkg::FatVolume;
using fwpkg::MemorySectorDevice;
using testing::Mode;
using testing::patternBytes;
using testing::Player;
using testing::ScenarioBuilder;
using testing::ScopedSim;
using testing::TempFolder;
using testing::writeFile;
namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = 2048;  // sectors

// What the provider hands out: a view of a device the test keeps.
class SharedDevice final : public fwpkg::SectorDevice {
public:
    explicit SharedDevice(std::shared_ptr<MemorySectorDevice> d) : d_(std::move(d)) {}
    std::uint64_t sectorCount() const override { return d_->sectorCount(); }
    bool read(std::uint64_t first, std::span<std::uint8_t> out) override {
        return d_->read(first, out);
    }
    bool write(std::uint64_t first, std::span<const std::uint8_t> in) override {
        return d_->write(first, in);
    }

private:
    std::shared_ptr<MemorySectorDevice> d_;
};

// Players in disk mode on ports 1 and 2 (drives D: and E:); the first is reported fixed.
ScenarioBuilder twoPlayers() {
    return ScenarioBuilder().ports({Player(Mode::Msc).fixedDrive(), Player(Mode::Msc)});
}

struct World {
    explicit World(const ScenarioBuilder& scenario = twoPlayers()) : scoped(scenario) {}
    // Gives drive `letter` a volume of `sectors` sectors.
    std::shared_ptr<MemorySectorDevice> attach(char letter, std::uint64_t sectors) {
        devices[letter] = std::make_shared<MemorySectorDevice>(sectors);
        scoped.sim().setVolumeProvider([this](char l) -> std::unique_ptr<fwpkg::SectorDevice> {
            auto it = devices.find(l);
            if (it == devices.end()) return nullptr;
            return std::make_unique<SharedDevice>(it->second);
        });
        return devices[letter];
    }
    os::FormatExFunction formatEx() {
        const os::Handle library = sim().loadLibrary("fmifs.dll");
        EXPECT_NE(library, 0u);
        return reinterpret_cast<os::FormatExFunction>(sim().libraryFunction(library, "FormatEx"));
    }
    SimOs& sim() { return scoped.sim(); }
    ScopedSim scoped;
    std::map<char, std::shared_ptr<MemorySectorDevice>> devices;
};

// The last callback the format library made.
struct Done {
    int command = -1;
    int success = -1;
    int calls = 0;
} done;

unsigned char CV50_FORMAT_CALL recordDone(int command, std::uint32_t, void* data) {
    done.command = command;
    done.success = *static_cast<unsigned char*>(data);
    ++done.calls;
    return 1;
}

// Runs FormatEx as the engine calls it: root "X:\", the file system, the label.
void format(os::FormatExFunction formatEx, const std::wstring& root, int mediaKind,
            const std::wstring& fileSystem, const std::wstring& label, int quick = 1) {
    done = {};
    std::wstring r = root, f = fileSystem, l = label;
    formatEx(r.data(), mediaKind, f.data(), l.data(), quick, 0, &recordDone);
}

// The bytes of every file on a volume, by path, and the volume's label.
struct Content {
    std::string label;
    std::map<std::string, std::vector<std::uint8_t>> files;
};

Content contentOf(fwpkg::SectorDevice& device) {
    Content c;
    fwpkg::SectorDeviceSource source(device);
    std::unique_ptr<FatVolume> volume;
    EXPECT_EQ(FatVolume::open(source, volume), FatError::Ok);
    if (!volume) return c;
    c.label = volume->geometry().label;
    const std::function<void(const FatEntry&, const std::string&)> walk =
        [&](const FatEntry& dir, const std::string& at) {
            std::vector<FatEntry> entries;
            EXPECT_EQ(volume->list(dir, entries), FatError::Ok);
            for (const FatEntry& e : entries) {
                const std::string path = at + "\\" + e.name;
                if (e.directory) {
                    walk(e, path);
                    continue;
                }
                auto& bytes = c.files[path];
                EXPECT_EQ(volume->readFile(e,
                                           [&](std::span<const std::uint8_t> b) {
                                               bytes.insert(bytes.end(), b.begin(), b.end());
                                               return true;
                                           }),
                          FatError::Ok);
            }
        };
    walk(volume->root(), "");
    return c;
}

TEST(SimFormatLibrary, FormatsTheVolumeOfTheRootAndReportsDoneWithSuccess) {
    World w;
    auto disk = w.attach('E', 64 * kMiB);
    const auto formatEx = w.formatEx();
    ASSERT_NE(formatEx, nullptr);
    format(formatEx, L"E:\\", os::kMediaRemovable, L"FAT32", L"Demo Disk", 0);
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(done.command, os::kFormatCommandDone);
    EXPECT_EQ(done.success, 1);
    const Content c = contentOf(*disk);
    EXPECT_EQ(c.label, "DEMO DISK") << "labels on FAT are upper case";
    EXPECT_TRUE(c.files.empty());

    const auto requests = w.sim().formatRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].letter, 'E');
    EXPECT_EQ(requests[0].mediaKind, os::kMediaRemovable);
    EXPECT_FALSE(requests[0].quick);
    EXPECT_EQ(requests[0].fileSystem, "FAT32");
    EXPECT_TRUE(requests[0].succeeded) << requests[0].error;
}

TEST(SimFormatLibrary, FailuresReportDoneWithoutSuccessAndAreRecorded) {
    World w;
    w.attach('D', 64 * kMiB);
    w.attach('E', 1 * kMiB);
    const auto formatEx = w.formatEx();
    struct Case {
        const wchar_t* root;
        const wchar_t* fileSystem;
        const wchar_t* label;
        const char* error;
    };
    for (const Case& c : {Case{L"F:\\", L"FAT32", L"X", "drive F: has no simulated volume"},
                          Case{L"E:\\", L"FAT32", L"X", "too small for FAT32"},
                          Case{L"D:\\", L"NTFS", L"X", "FAT32 only"},
                          Case{L"D:\\", L"FAT32", L"TWELVE CHARS", "more than 11"},
                          Case{L"D:\\", L"FAT32", L"caf\u00e9", "not plain ASCII"},
                          Case{L"D:\\x", L"FAT32", L"X", "no drive letter"}}) {
        SCOPED_TRACE(c.error);
        format(formatEx, c.root, os::kMediaFixed, c.fileSystem, c.label);
        EXPECT_EQ(done.calls, 1);
        EXPECT_EQ(done.command, os::kFormatCommandDone);
        EXPECT_EQ(done.success, 0);
        const auto last = w.sim().formatRequests().back();
        EXPECT_FALSE(last.succeeded);
        EXPECT_NE(last.error.find(c.error), std::string::npos) << last.error;
    }
}

TEST(SimFormatLibrary, LoadsUnderAnyCaseUnlessTheScenarioTakesItAway) {
    World w;
    for (const char* name : {"fmifs.dll", "FMIFS.DLL", "C:\\Windows\\System32\\FmIfs.dll"}) {
        const os::Handle h = w.sim().loadLibrary(name);
        EXPECT_NE(h, 0u) << name;
        EXPECT_NE(w.sim().libraryFunction(h, "FormatEx"), nullptr) << name;
        EXPECT_EQ(w.sim().libraryFunction(h, "Chkdsk"), nullptr) << name;
        w.sim().freeLibrary(h);
    }
    World missing(ScenarioBuilder().withoutFormatLibrary());
    EXPECT_EQ(missing.sim().loadLibrary("fmifs.dll"), 0u);
}

TEST(SimFormatLibrary, AFunctionKeptFromAnEarlierSimulatorFormatsThroughTheCurrentOne) {
    os::FormatExFunction kept = nullptr;
    {
        World first;
        kept = first.formatEx();
    }
    World second;
    auto disk = second.attach('E', 40 * kMiB);
    format(kept, L"E:\\", os::kMediaRemovable, L"FAT32", L"SECOND");
    EXPECT_EQ(done.success, 1);
    EXPECT_EQ(contentOf(*disk).label, "SECOND");
    EXPECT_EQ(second.sim().formatRequests().size(), 1u);
}

TEST(SimFormatLibrary, ASimulatorBehindAnotherBackendStillAnswers) {
    auto owned = std::make_unique<SimOs>(parseScenario(twoPlayers().text(), "test"));
    SimOs& sim = *owned;
    auto disk = std::make_shared<MemorySectorDevice>(40 * kMiB);
    sim.setVolumeProvider([disk](char letter) -> std::unique_ptr<fwpkg::SectorDevice> {
        if (letter != 'D') return nullptr;
        return std::make_unique<SharedDevice>(disk);
    });
    auto previous = os::install(std::make_unique<testing::ForwardingOs>(std::move(owned)));
    const os::Handle library = os::current().loadLibrary("fmifs.dll");
    const auto formatEx =
        reinterpret_cast<os::FormatExFunction>(os::current().libraryFunction(library, "FormatEx"));
    format(formatEx, L"D:\\", os::kMediaFixed, L"FAT32", L"BEHIND");
    EXPECT_EQ(done.success, 1);
    EXPECT_EQ(contentOf(*disk).label, "BEHIND");
    os::install(std::move(previous));
}

TEST(SimFormatLibrary, WithoutAVolumeProviderEveryFormatFails) {
    ScopedSim sim(twoPlayers());
    sim.sim().setVolumeProvider({});
    const os::Handle h = sim.sim().loadLibrary("fmifs.dll");
    const auto formatEx =
        reinterpret_cast<os::FormatExFunction>(sim.sim().libraryFunction(h, "FormatEx"));
    format(formatEx, L"D:\\", os::kMediaFixed, L"FAT32", L"X");
    EXPECT_EQ(done.success, 0);
}

TEST(SimVolumes, APlayerCanBeReportedAsAFixedDrive) {
    World w;
    EXPECT_EQ(w.sim().driveType('D'), os::kDriveFixed);
    EXPECT_EQ(w.sim().driveType('E'), os::kDriveRemovable);
}

class SimShellCopy : public ::testing::Test {
protected:
    void SetUp() override {
        disk = w.attach('E', 64 * kMiB);
        format(w.formatEx(), L"E:\\", os::kMediaRemovable, L"FAT32", L"PLAYER");
        ASSERT_EQ(done.success, 1);
        const fs::path demo = fs::path(host.path()) / "Demo";
        writeFile(demo / "Welcome Song.mp3", patternBytes(70000, 1));
        writeFile(demo / "README.TXT", patternBytes(100, 2));
        writeFile(demo / "Albums" / "First" / "track 01.mp3", patternBytes(5000, 3));
        writeFile(demo / "empty", {});
        source = host.path() + "\\Demo";  // engine text
    }
    std::map<std::string, std::vector<std::uint8_t>> expectedDemo() const {
        return {{"\\Welcome Song.mp3", patternBytes(70000, 1)},
                {"\\README.TXT", patternBytes(100, 2)},
                {"\\Albums\\First\\track 01.mp3", patternBytes(5000, 3)},
                {"\\empty", {}}};
    }
    World w;
    TempFolder host;
    std::shared_ptr<MemorySectorDevice> disk;
    std::string source;
};

TEST_F(SimShellCopy, CopiesWhatAFolderHoldsAndACopyOverItReplacesInPlace) {
    bool aborted = true;
    EXPECT_EQ(w.sim().shellCopy(source + "\\*.*", "E:", aborted), 0);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(contentOf(*disk).files, expectedDemo());
    EXPECT_EQ(w.sim().shellCopy(source + "\\*.*", "e:\\", aborted), 0);
    EXPECT_EQ(contentOf(*disk).files, expectedDemo());
    EXPECT_EQ(contentOf(*disk).label, "PLAYER");

    // A source without a pattern is copied itself, as a folder of that name.
    EXPECT_EQ(w.sim().shellCopy(source, "E:", aborted), 0);
    auto expected = expectedDemo();
    for (const auto& [path, content] : expectedDemo()) expected["\\Demo" + path] = content;
    EXPECT_EQ(contentOf(*disk).files, expected);
}

TEST_F(SimShellCopy, ACopiedFileLandsInTheRootAndReplacesOneOfItsName) {
    writeFile(fs::path(host.path()) / "readme.txt", patternBytes(10, 9));
    bool aborted = false;
    ASSERT_EQ(w.sim().shellCopy(source + "\\*.*", "E:", aborted), 0);
    EXPECT_TRUE(w.sim().copyFile(host.path() + "\\readme.txt", "E:\\readme.txt"));
    EXPECT_TRUE(w.sim().copyFile(host.path() + "\\Demo\\empty", "E:\\Extra.bin"));
    auto expected = expectedDemo();
    expected["\\README.TXT"] = patternBytes(10, 9);  // keeps the name it had
    expected["\\Extra.bin"] = {};
    EXPECT_EQ(contentOf(*disk).files, expected);

    EXPECT_FALSE(w.sim().copyFile(host.path() + "\\missing", "E:\\x")) << "no such source";
    EXPECT_FALSE(w.sim().copyFile(host.path() + "\\readme.txt", "E:\\")) << "no file name";
    EXPECT_FALSE(w.sim().copyFile(host.path() + "\\readme.txt", "F:\\x")) << "no such drive";
}

TEST_F(SimShellCopy, PathKindSeesTheVolumeRootAndWhatIsOnIt) {
    bool aborted = false;
    ASSERT_EQ(w.sim().shellCopy(source + "\\*.*", "E:", aborted), 0);
    struct Case {
        std::string path;
        os::PathKind kind;
    };
    for (const Case& c :
         {Case{"E:", os::PathKind::Folder}, Case{"e:\\", os::PathKind::Folder},
          Case{"E:\\Albums\\first", os::PathKind::Folder},
          Case{"E:\\Welcome Song.mp3", os::PathKind::File},
          Case{"E:\\nothing", os::PathKind::Missing}, Case{"F:\\", os::PathKind::Missing},
          Case{source, os::PathKind::Folder}, Case{source + "\\README.TXT", os::PathKind::File}})
        EXPECT_EQ(w.sim().pathKind(c.path), c.kind) << c.path;
}

TEST_F(SimShellCopy, FailedCopiesReturnAnErrorAndStopAtTheFirstOne) {
    bool aborted = false;
    EXPECT_NE(w.sim().shellCopy(host.path() + "\\Nowhere\\*.*", "E:", aborted), 0);
    EXPECT_NE(w.sim().shellCopy(source + "\\*.*", "F:", aborted), 0) << "no volume on F:";
    EXPECT_TRUE(contentOf(*disk).files.empty());

    // More than the volume holds.
    auto small = w.attach('D', 33 * kMiB);
    format(w.formatEx(), L"D:\\", os::kMediaFixed, L"FAT32", L"SMALL");
    ASSERT_EQ(done.success, 1);
    writeFile(fs::path(host.path()) / "Big" / "a.bin", std::vector<std::uint8_t>(40 << 20, 1));
    writeFile(fs::path(host.path()) / "Big" / "b.bin", patternBytes(10, 1));
    EXPECT_NE(w.sim().shellCopy(host.path() + "\\Big\\*.*", "D:", aborted), 0);
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(contentOf(*small).files.empty()) << "stopped at a.bin, which did not fit";
}

TEST_F(SimShellCopy, AWholeVolumeIsSavedToAHostFileByLetterOrByPort) {
    bool aborted = false;
    ASSERT_EQ(w.sim().shellCopy(source + "\\*.*", "E:", aborted), 0);
    std::string error;
    for (const std::string& image :
         {host.path() + "/by-letter.img", host.path() + "/by-port.img"}) {
        const bool saved = image.find("letter") != std::string::npos
                               ? w.sim().saveVolumeImage('e', image, error)
                               : w.sim().saveVolumeImageOfLayer("2", image, error);
        ASSERT_TRUE(saved) << error;
        EXPECT_EQ(fs::file_size(image), 64 * kMiB * 512);
        auto file = fwpkg::FileSource::open(image);
        ASSERT_TRUE(file);
        std::unique_ptr<FatVolume> volume;
        ASSERT_EQ(FatVolume::open(*file, volume), FatError::Ok);
        FatEntry entry;
        EXPECT_EQ(volume->find("Albums\\First\\track 01.mp3", entry), FatError::Ok);
        EXPECT_EQ(entry.size, 5000u);
    }
    EXPECT_FALSE(w.sim().saveVolumeImageOfLayer("3", host.path() + "/none.img", error));
    EXPECT_NE(error.find("no player on 3"), std::string::npos) << error;
    EXPECT_FALSE(w.sim().saveVolumeImage('F', host.path() + "/none.img", error));
}

}  // namespace
}  // namespace cv50::sim
