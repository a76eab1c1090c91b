// Format, copy and the two workers against simulated disks, with the format library and the
// shell copy answered by recording stand-ins.
#include "engine/device/format_copy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "engine/api/search_exports.h"
#include "engine/device/search.h"
#include "engine/device/tests/log_capture.h"
#include "engine/os/scsi_pass_through.h"
#include "sim/testing/forwarding_os.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::device {
namespace {

using sim::testing::Json;
using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;
using sim::testing::TempFolder;

// What FormatEx was asked to do.
struct FormatCall {
    std::wstring root, fileSystem, label;
    int media = 0;
    int quick = -1;
    std::uint32_t clusterSize = 0;
};

// The format library's FormatEx: records each call and reports success unless the drive is
// listed as failing. With `meeting` set, the first call of each of that many drives waits
// for all of them before any reports, and none returns before all have reported: formats
// that shared one result would then all read the last report.
struct FakeFormatLibrary {
    static inline std::mutex lock;
    static inline std::condition_variable changed;
    static inline std::vector<FormatCall> calls;
    static inline std::set<wchar_t> failing;
    static inline bool reports = true;  // false: returns without calling back
    static inline int meeting = 0;
    static inline std::set<wchar_t> met;
    static inline int arrived = 0, reported = 0;

    static void reset() {
        std::lock_guard guard(lock);
        calls.clear();
        failing.clear();
        reports = true;
        meeting = arrived = reported = 0;
        met.clear();
    }

    static void CV50_FORMAT_CALL FormatEx(wchar_t* root, int media, wchar_t* fileSystem,
                                          wchar_t* label, int quick, std::uint32_t clusterSize,
                                          FormatCallback callback) {
        std::unique_lock guard(lock);
        calls.push_back({root, fileSystem, label, media, quick, clusterSize});
        unsigned char success = failing.count(root[0]) ? 0 : 1;
        const bool meets = meeting > 0 && met.insert(root[0]).second;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        if (meets) {
            ++arrived;
            changed.notify_all();
            changed.wait_until(guard, deadline, [] { return arrived == meeting; });
        }
        guard.unlock();
        callback(1, 50, nullptr);  // progress, not the end
        if (reports) callback(os::kFormatCommandDone, 0, &success);
        guard.lock();
        if (meets) {
            ++reported;
            changed.notify_all();
            changed.wait_until(guard, deadline, [] { return reported == meeting; });
        }
    }
};

constexpr os::Handle kFormatLibrary = 0xF0F0;

// The simulator with the format library and the copies answered here.
class FormatTestOs : public sim::testing::ForwardingOs {
public:
    using ForwardingOs::ForwardingOs;

    struct Copy {
        std::string source, destination;
        bool operator==(const Copy&) const = default;
    };
    struct VendorCommand {
        char letter;
        std::uint32_t command;
    };

    // Answers; set before the engine runs.
    bool formatLibraryPresent = true;
    std::set<char> fixedDrives;
    std::optional<os::WindowsVersion> windows;
    bool driveRootsExist = true;
    int shellResult = 0;
    bool shellAborts = false;
    bool fileCopies = true;

    // Records.
    std::vector<Copy> shellCopies, copiedFiles;
    std::vector<VendorCommand> vendorCommands;
    int libraryLoads = 0;

    os::Handle loadLibrary(const std::string& name) override {
        if (name != "fmifs.dll") return ForwardingOs::loadLibrary(name);
        std::lock_guard guard(lock_);
        ++libraryLoads;
        return formatLibraryPresent ? kFormatLibrary : 0;
    }
    void* libraryFunction(os::Handle library, const std::string& name) override {
        if (library != kFormatLibrary) return ForwardingOs::libraryFunction(library, name);
        return name == "FormatEx" ? reinterpret_cast<void*>(&FakeFormatLibrary::FormatEx) : nullptr;
    }
    unsigned driveType(char letter) override {
        if (fixedDrives.count(letter)) return os::kDriveFixed;
        return ForwardingOs::driveType(letter);
    }
    os::WindowsVersion windowsVersion() override {
        return windows ? *windows : ForwardingOs::windowsVersion();
    }
    os::PathKind pathKind(const std::string& path) override {
        const bool driveRoot =
            (path.size() == 2 || (path.size() == 3 && path[2] == '\\')) && path[1] == ':';
        if (!driveRoot) return ForwardingOs::pathKind(path);
        return driveRootsExist ? os::PathKind::Folder : os::PathKind::Missing;
    }
    int shellCopy(const std::string& pattern, const std::string& destination,
                  bool& aborted) override {
        std::lock_guard guard(lock_);
        shellCopies.push_back({pattern, destination});
        aborted = shellAborts;
        return shellResult;
    }
    bool copyFile(const std::string& source, const std::string& destination) override {
        std::lock_guard guard(lock_);
        copiedFiles.push_back({source, destination});
        return fileCopies;
    }
    os::Handle openReadWrite(const std::string& path) override {
        const os::Handle h = ForwardingOs::openReadWrite(path);
        if (h != 0 && path.size() == 6 && path.rfind("\\\\.\\", 0) == 0) {
            std::lock_guard guard(lock_);
            volumes_[h] = path[4];
        }
        return h;
    }
    bool deviceIoControl(os::Handle h, std::uint32_t code, const void* in, std::size_t inSize,
                         void* out, std::size_t outSize, std::uint32_t* returned,
                         std::uint32_t timeoutMs) override {
        if (code == os::scsi::kIoctlScsiPassThrough) {
            const auto request =
                os::scsi::parseRequest(std::span(static_cast<const std::uint8_t*>(in), inSize));
            const auto vendor = request ? os::scsi::parseVendorCdb(request->cdb) : std::nullopt;
            std::lock_guard guard(lock_);
            if (vendor && volumes_.count(h))
                vendorCommands.push_back({volumes_[h], vendor->command});
        }
        return ForwardingOs::deviceIoControl(h, code, in, inSize, out, outSize, returned,
                                             timeoutMs);
    }

private:
    std::mutex lock_;
    std::map<os::Handle, char> volumes_;
};

// A simulated world of disks behind a FormatTestOs, for one test.
class FormatCopyTest : public ::testing::Test {
protected:
    void SetUp() override { FakeFormatLibrary::reset(); }
    void TearDown() override {
        if (previous_) os::install(std::move(previous_));
    }

    // `players` copies of `disk`; returns them as a disk scan lists them.
    std::vector<DEVICE_INFO> world(int players, const Player& disk = Player(Mode::Msc),
                                   const std::string& windows = "10.0") {
        const ScenarioBuilder scenario = ScenarioBuilder().speed(200).windows(windows).ports(
            std::vector<Json>(static_cast<std::size_t>(players), disk));
        auto sim = std::make_unique<sim::SimOs>(sim::parseScenario(scenario.text(), "format test"));
        auto fake = std::make_unique<FormatTestOs>(std::move(sim));
        os_ = fake.get();
        std::unique_ptr<os::Os> replaced = os::install(std::move(fake));
        if (!previous_) previous_ = std::move(replaced);
        SEARCH_RESULT found{};
        ScanCorvMsc(&found);
        return std::vector<DEVICE_INFO>(found.devices, found.devices + found.count);
    }

    // A folder with a file in it; engine paths of both.
    std::string demoFolder() {
        sim::testing::writeTextFile(folder_.file("song.mp3"), "la la");
        return folder_.path();
    }

    FormatTestOs& os() { return *os_; }

    TempFolder folder_;
    testing::LogCapture log_;

private:
    FormatTestOs* os_ = nullptr;
    std::unique_ptr<os::Os> previous_;
};

TEST_F(FormatCopyTest, QuickFormatAboveWindowsXpFullOnXpQuickUnannouncedWhenUnknown) {
    struct Case {
        os::WindowsVersion version;
        int quick;
        bool announced;
    } cases[] = {{{10, 0}, 1, true},
                 {{6, 0}, 1, true},
                 {{5, 1}, 0, false},
                 {{5, 0}, 0, false},
                 {{0, 0}, 1, false}};
    world(0);
    for (const Case& c : cases) {
        FakeFormatLibrary::reset();
        cv50::log::disable();
        testing::LogCapture log;
        os().windows = c.version;
        FormatDisk('E', "FAT32", "DEMO", FormatCallbackProc);
        ASSERT_EQ(FakeFormatLibrary::calls.size(), 1u) << c.version.major;
        const FormatCall& call = FakeFormatLibrary::calls[0];
        EXPECT_EQ(call.quick, c.quick) << c.version.major << "." << c.version.minor;
        EXPECT_EQ(log.contains("INFO:Quick format"), c.announced) << c.version.major;
        EXPECT_EQ(call.root, L"E:\\");
        EXPECT_EQ(call.fileSystem, L"FAT32");
        EXPECT_EQ(call.label, L"DEMO");
        EXPECT_EQ(call.clusterSize, 0u);
        EXPECT_TRUE(FormatResult());
    }
}

TEST_F(FormatCopyTest, FixedDriveGetsMediaKind12RemovableGets11) {
    world(0);
    os().fixedDrives = {'F'};
    FormatDisk('F', "FAT32", "", FormatCallbackProc);
    FormatDisk('G', "FAT32", "", FormatCallbackProc);
    ASSERT_EQ(FakeFormatLibrary::calls.size(), 2u);
    EXPECT_EQ(FakeFormatLibrary::calls[0].media, 12);
    EXPECT_EQ(FakeFormatLibrary::calls[1].media, 11);
}

TEST_F(FormatCopyTest, LongNamesAreCutToTheirWideBuffers) {
    world(0);
    FormatDisk('E', "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "PLAYER-DEMO-DISK", FormatCallbackProc);
    ASSERT_EQ(FakeFormatLibrary::calls.size(), 1u);
    EXPECT_EQ(FakeFormatLibrary::calls[0].fileSystem, L"ABCDEFGHIJKLMNOPQRS");  // 19 + NUL
    EXPECT_EQ(FakeFormatLibrary::calls[0].label, L"PLAYER-DEMO");               // 11 + NUL
}

TEST_F(FormatCopyTest, FormatResultIsOnlyTheFormatJustRun) {
    world(0);
    FormatDisk('E', "FAT32", "", FormatCallbackProc);
    ASSERT_TRUE(FormatResult());
    // The library returns without saying it is done: not a success.
    FakeFormatLibrary::reports = false;
    FormatDisk('E', "FAT32", "", FormatCallbackProc);
    EXPECT_FALSE(FormatResult());
    FakeFormatLibrary::reports = true;
    FakeFormatLibrary::failing = {L'E'};
    FormatDisk('E', "FAT32", "", FormatCallbackProc);
    EXPECT_FALSE(FormatResult());
    // A format that never started clears the result of the one before.
    FakeFormatLibrary::failing.clear();
    FormatDisk('E', "FAT32", "", FormatCallbackProc);
    ASSERT_TRUE(FormatResult());
    os().formatLibraryPresent = false;
    FormatDisk('E', "FAT32", "", FormatCallbackProc);
    EXPECT_FALSE(FormatResult());
    EXPECT_EQ(FakeFormatLibrary::calls.size(), 4u);
}

TEST_F(FormatCopyTest, FolderWithOrWithoutTrailingBackslashCopiesTheSamePattern) {
    world(0);
    const std::string folder = demoFolder();
    EXPECT_EQ(CopyData(folder, 'E'), 1);
    EXPECT_EQ(CopyData(folder + "\\", 'E'), 1);
    ASSERT_EQ(os().shellCopies.size(), 2u);
    const FormatTestOs::Copy expected{folder + "\\*.*", "E:"};
    EXPECT_EQ(os().shellCopies[0], expected);
    EXPECT_EQ(os().shellCopies[1], expected);
    EXPECT_TRUE(os().copiedFiles.empty());
}

TEST_F(FormatCopyTest, SingleFileLandsInTheRootUnderItsOwnName) {
    world(0);
    const std::string file = demoFolder() + "\\song.mp3";
    EXPECT_EQ(CopyData(file, 'F'), 1);
    ASSERT_EQ(os().copiedFiles.size(), 1u);
    EXPECT_EQ(os().copiedFiles[0], (FormatTestOs::Copy{file, "F:\\song.mp3"}));
    EXPECT_TRUE(os().shellCopies.empty());
    os().fileCopies = false;
    EXPECT_EQ(CopyData(file, 'F'), 0);
}

TEST_F(FormatCopyTest, FailedCopies) {
    struct Case {
        const char* what;
        int shellResult;
        bool aborts;
        bool rootAfter;
    } cases[] = {{"shell error", 0x75, false, true},
                 {"aborted", 0, true, true},
                 {"drive gone", 0, false, false}};
    world(0);
    const std::string folder = demoFolder();
    for (const Case& c : cases) {
        os().shellResult = c.shellResult;
        os().shellAborts = c.aborts;
        os().driveRootsExist = c.rootAfter;
        EXPECT_EQ(CopyData(folder, 'E'), 0) << c.what;
    }
    EXPECT_EQ(os().shellCopies.size(), 3u);

    // Nothing at the source, or a source whose pattern would not fit the shell's path buffer.
    EXPECT_EQ(CopyData(folder + "\\none", 'E'), 0);
    EXPECT_TRUE(log_.contains("Error:The path is not existed.(" + folder + "\\none)"))
        << log_.text();
    const std::string deep = folder_.makeFolder(std::string(200, 'd') + "/" + std::string(60, 'e'));
    EXPECT_EQ(CopyData(deep, 'E'), 0);
    EXPECT_EQ(os().shellCopies.size(), 3u);
}

// The lines of a log, without their time stamps.
std::vector<std::string> logLines(const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line.substr(line.find('\t') + 1));
    }
    return lines;
}

TEST_F(FormatCopyTest, WorkersLogEveryStepAndEndWithTheirCode) {
    enum class Fault { None, NoLibrary, CopyFails };
    struct Case {
        const char* what;
        int (*worker)(DEVICE_INFO&);
        Fault fault;
        int result;
        std::vector<std::string> lines;
        bool dataCopiedSent;
    };
    const std::vector<std::string> formatFailures(3, "ERROR:FormatDisk failed,ErrCode(");
    auto failing = [&](const std::vector<std::string>& tail) {
        std::vector<std::string> l = {"INFO:Begin to get drive", "INFO:Begin to format disk"};
        l.insert(l.end(), formatFailures.begin(), formatFailures.end());
        l.insert(l.end(), tail.begin(), tail.end());
        return l;
    };
    const Case cases[] = {
        {"copy done",
         FormatAndCopyWorker,
         Fault::None,
         kWorkerDone,
         {"INFO:Begin to get drive", "INFO:Begin to format disk", "INFO:Quick format",
          "INFO:Begin to copy data", "INFO:CopyData OK"},
         true},
        {"format only done",
         FormatOnlyWorker,
         Fault::None,
         kWorkerDone,
         {"INFO:Begin to get drive", "INFO:Begin to format disk", "INFO:Quick format",
          "INFO:FormatDisk OK"},
         true},
        {"no format library", FormatAndCopyWorker, Fault::NoLibrary, kWorkerFormatFailed,
         failing({}), false},
        {"no format library, format only", FormatOnlyWorker, Fault::NoLibrary, kWorkerFormatFailed,
         failing({}), false},
        {"copy fails",
         FormatAndCopyWorker,
         Fault::CopyFails,
         kWorkerCopyFailed,
         {"INFO:Begin to get drive", "INFO:Begin to format disk", "INFO:Quick format",
          "INFO:Begin to copy data", "ERROR:CopyData failed"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeFormatLibrary::reset();
        std::vector<DEVICE_INFO> disks = world(1);
        ASSERT_EQ(disks.size(), 1u);
        cv50::log::disable();
        testing::LogCapture log;
        os().formatLibraryPresent = c.fault != Fault::NoLibrary;
        os().shellResult = c.fault == Fault::CopyFails ? 2 : 0;
        SetCopySource(demoFolder());
        SetVolumeLabel("DEMO");
        DEVICE_INFO& disk = disks[0];
        EXPECT_EQ(c.worker(disk), c.result);
        EXPECT_EQ(disk.status, c.result == kWorkerDone ? StatusOk : StatusFailed);
        // Every line names the Layer but the format's own "INFO:Quick format".
        const std::vector<std::string> lines = logLines(log.text());
        ASSERT_EQ(lines.size(), c.lines.size()) << log.text();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string expected =
                c.lines[i] == "INFO:Quick format"
                    ? c.lines[i]
                    : "<Layer:" + std::string(disk.layer) + "> " + c.lines[i];
            EXPECT_EQ(lines[i].rfind(expected, 0), 0u) << lines[i] << " / " << expected;
        }
        const bool formatted = c.fault != Fault::NoLibrary;
        EXPECT_EQ(os().libraryLoads, formatted ? 1 : 3);
        if (formatted) {
            ASSERT_EQ(FakeFormatLibrary::calls.size(), 1u);
            const std::wstring root = {static_cast<wchar_t>(disk.driveLetter), L':', L'\\'};
            EXPECT_EQ(FakeFormatLibrary::calls[0].root, root);
            EXPECT_EQ(FakeFormatLibrary::calls[0].label, L"DEMO");
        }
        const bool copies = c.worker == FormatAndCopyWorker && formatted;
        EXPECT_EQ(os().shellCopies.size(), copies ? 1u : 0u);
        ASSERT_EQ(os().vendorCommands.size(), c.dataCopiedSent ? 1u : 0u);
        if (c.dataCopiedSent) {
            EXPECT_EQ(os().vendorCommands[0].letter, disk.driveLetter);
            EXPECT_EQ(os().vendorCommands[0].command, 0xFFFFFFFBu);
        }
    }
}

TEST_F(FormatCopyTest, DiskWithoutVolumeEndsTheWorkerWithNoDrive) {
    std::vector<DEVICE_INFO> disks = world(1, Player(Mode::Msc).neverMounts());
    ASSERT_EQ(disks.size(), 1u);
    const std::uint64_t start = os().tickMs();
    EXPECT_EQ(FormatAndCopyWorker(disks[0]), kWorkerNoDrive);
    EXPECT_GE(os().tickMs() - start, 3 * 2000u);
    EXPECT_EQ(disks[0].status, StatusFailed);
    EXPECT_TRUE(
        log_.contains("<Layer:" + std::string(disks[0].layer) + "> ERROR:GetDemoDrive failed"));
    EXPECT_EQ(os().libraryLoads, 0);
}

TEST_F(FormatCopyTest, WindowsXpFormatsInFull) {
    std::vector<DEVICE_INFO> disks = world(1, Player(Mode::Msc), "5.1");
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(FormatOnlyWorker(disks[0]), kWorkerDone);
    ASSERT_EQ(FakeFormatLibrary::calls.size(), 1u);
    EXPECT_EQ(FakeFormatLibrary::calls[0].quick, 0);
    EXPECT_FALSE(log_.contains("INFO:Quick format"));
}

TEST_F(FormatCopyTest, WorkersOnThreadsKeepTheirOwnFormatResult) {
    std::vector<DEVICE_INFO> disks = world(3);
    ASSERT_EQ(disks.size(), 3u);
    for (const DEVICE_INFO& d : disks) ASSERT_NE(d.driveLetter, 0) << d.layer;
    SetCopySource(demoFolder());
    // The middle disk's format fails; all three first formats run at the same time.
    FakeFormatLibrary::failing = {static_cast<wchar_t>(disks[1].driveLetter)};
    FakeFormatLibrary::meeting = 3;
    int results[3] = {-1, -1, -1};
    {
        std::vector<std::thread> workers;
        for (int i = 0; i < 3; ++i)
            workers.emplace_back([&, i] { results[i] = FormatAndCopyWorker(disks[i]); });
        for (std::thread& t : workers) t.join();
    }
    EXPECT_EQ(FakeFormatLibrary::arrived, 3);
    EXPECT_EQ(results[0], kWorkerDone);
    EXPECT_EQ(results[1], kWorkerFormatFailed);
    EXPECT_EQ(results[2], kWorkerDone);
    EXPECT_EQ(disks[0].status, StatusOk);
    EXPECT_EQ(disks[1].status, StatusFailed);
    EXPECT_EQ(disks[2].status, StatusOk);
    EXPECT_EQ(FakeFormatLibrary::calls.size(), 5u);  // 1 + 3 + 1
    EXPECT_EQ(os().shellCopies.size(), 2u);
}

}  // namespace
}  // namespace cv50::device
