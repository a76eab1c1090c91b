// The simulator's side of the os seam: pipes of attached devices, folders, error codes.
#include "sim/sim_os.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <thread>

#include "base/host.h"
#include "engine/os/error_codes.h"
#include "sim/last_error.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::sim {
namespace {

// Echoes what was written, once.
class EchoEndpoint : public CorvUsbEndpoint {
public:
    bool hostWrite(std::span<const std::uint8_t> data) override {
        pending.insert(pending.end(), data.begin(), data.end());
        return true;
    }
    long long hostRead(std::span<std::uint8_t> buffer) override {
        const std::size_t n = std::min(buffer.size(), pending.size());
        std::copy_n(pending.begin(), n, buffer.begin());
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(n));
        return static_cast<long long>(n);
    }
    std::deque<std::uint8_t> pending;
};

TEST(SimOsPipes, WritePipeReachesTheDeviceAndReadPipeAnswers) {
    SimOs sim(Scenario{});
    const std::string path =
        "\\\\?\\USB#VID_071B&PID_3201#5&1&0&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    auto device = std::make_shared<EchoEndpoint>();
    sim.attachEndpoint(path, device);

    os::Handle out = sim.openReadWrite(path + "\\PIPE00");
    os::Handle in = sim.openReadWrite(path + "\\pipe01");  // names compare without case
    ASSERT_NE(out, 0u);
    ASSERT_NE(in, 0u);
    const std::uint8_t msg[3] = {1, 2, 3};
    EXPECT_EQ(sim.writeHandle(out, msg, 3, 1000), 3);
    std::uint8_t got[8] = {};
    EXPECT_EQ(sim.readHandle(in, got, sizeof got, 1000), 3);
    EXPECT_EQ(got[2], 3);
    // Each pipe has one direction.
    EXPECT_EQ(sim.readHandle(out, got, 1, 1000), -1);
    EXPECT_EQ(sim.writeHandle(in, msg, 1, 1000), -1);

    EXPECT_EQ(sim.openReadWrite(path + "\\PIPE02"), 0u);
    EXPECT_EQ(sim.openReadWrite(path), 0u);
    EXPECT_EQ(sim.openReadWrite("\\\\?\\USB#other\\PIPE00"), 0u);

    // The device leaves the bus: open handles fail at once, new opens fail too.
    sim.detachEndpoint(path);
    EXPECT_EQ(sim.writeHandle(out, msg, 3, 1000), -1);
    EXPECT_EQ(sim.readHandle(in, got, 1, 1000), -1);
    EXPECT_EQ(sim.openReadWrite(path + "\\PIPE00"), 0u);
    sim.closeHandle(out);
    sim.closeHandle(in);
}

TEST(SimOsFolders, TempAndProgramFoldersEndInABackslash) {
    SimOs sim(Scenario{});
    EXPECT_EQ(sim.tempFolder().back(), '\\');
    EXPECT_EQ(sim.programFolder().back(), '\\');
    EXPECT_TRUE(sim.pathExists(sim.tempFolder()));
    sim.setTempFolder("C:\\Temp\\\u4E34\u65F6\\");
    EXPECT_EQ(sim.tempFolder(), "C:\\Temp\\\u4E34\u65F6\\");
    EXPECT_EQ(sim.tempFolderW(), u"C:\\Temp\\\u4E34\u65F6\\");
    EXPECT_EQ(sim.loadLibrary("NoSuchLibrary.dll"), 0u);
}

TEST(SimOsText, NarrowFormIsUtf8AndALoneSurrogateHasNone) {
    SimOs sim(Scenario{});
    EXPECT_EQ(sim.narrowFromWide(u"D:\\\u56FA\u4EF6\\a.img"), "D:\\\u56FA\u4EF6\\a.img");
    EXPECT_EQ(sim.narrowFromWide(u"\U0001F600"), "\U0001F600");
    EXPECT_EQ(sim.narrowFromWide(u""), "");
    EXPECT_EQ(sim.narrowFromWide(std::u16string(u"a") + char16_t(0xD800) + u"b"), std::nullopt);
    EXPECT_EQ(sim.narrowFromWide(std::u16string(1, char16_t(0xDC00))), std::nullopt);
}

TEST(SimOsMessages, BoxesGoToTheTestsAnswererAndAreKeptWithTheirAnswers) {
    SimOs sim(Scenario{});
    using B = os::MessageButtons;
    using A = os::MessageAnswer;
    sim.setMessageAnswerer(
        [](const SimOs::ShownMessage& m) { return m.buttons == B::YesNo ? A::Yes : A::Cancel; });
    EXPECT_EQ(sim.messageBox("lose data?", "T", B::OkCancel, os::MessageIcon::Information),
              A::Cancel);
    EXPECT_EQ(sim.messageBox("升级?", "确认", B::YesNo, os::MessageIcon::Warning), A::Yes);
    const auto shown = sim.shownMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "lose data?");
    EXPECT_EQ(shown[0].answer, A::Cancel);
    EXPECT_EQ(shown[1].caption, "确认");
    EXPECT_EQ(shown[1].icon, os::MessageIcon::Warning);
    EXPECT_EQ(shown[1].answer, A::Yes);
}

TEST(SimOsErrors, FailedCallsLeaveTheCodesTheSystemWouldSet) {
    SimOs sim(Scenario{});
    testing::TempFolder folder;
    const std::string here = folder.path() + "\\";
    testing::writeTextFile(base::hostPath(here + "kept.txt"), "x");
    struct Case {
        const char* what;
        std::function<bool()> fails;
        std::uint32_t code;
    };
    const Case cases[] = {
        {"open a missing file", [&] { return !sim.openFile(here + "missing.txt", "rb"); },
         os::error::kFileNotFound},
        {"open in a missing folder", [&] { return !sim.openFile(here + "no-folder\\x.txt", "rb"); },
         os::error::kPathNotFound},
        {"open a folder as a file", [&] { return !sim.openFile(folder.path(), "rb"); },
         os::error::kAccessDenied},
        {"delete a missing file", [&] { return !sim.deleteFile(here + "missing.txt"); },
         os::error::kFileNotFound},
        {"delete a folder", [&] { return !sim.deleteFile(folder.path()); },
         os::error::kAccessDenied},
        {"size of a missing file", [&] { return !sim.fileSize(here + "missing.txt"); },
         os::error::kFileNotFound},
        {"open an absent device", [&] { return sim.openReadWrite("\\\\?\\USB#none\\PIPE00") == 0; },
         os::error::kFileNotFound},
        {"write to a handle that is no pipe",
         [&] { return sim.writeHandle(0x7777, "x", 1, 1000) == -1; }, os::error::kInvalidHandle},
        {"load a missing library", [&] { return sim.loadLibrary("NoSuchLibrary.dll") == 0; },
         os::error::kModuleNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setLastError(0);
        ASSERT_TRUE(c.fails());
        EXPECT_EQ(sim.lastError(), c.code);
    }
    // Each thread has its own last error.
    setLastError(0);
    std::thread([&] { EXPECT_FALSE(sim.openFile(here + "missing.txt", "rb")); }).join();
    EXPECT_EQ(sim.lastError(), 0u);
    EXPECT_TRUE(sim.deleteFile(here + "kept.txt"));
}

}  // namespace
}  // namespace cv50::sim
