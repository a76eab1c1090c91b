// The simulator's side of the os seam: pipes of attached devices, folders.
#include "sim/sim_os.h"

#include <gtest/gtest.h>

#include <deque>

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
    const std::string path = "\\\\?\\USB#VID_071B&PID_3201#5&1&0&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    auto device = std::make_shared<EchoEndpoint>();
    sim.attachEndpoint(path, device);

    os::Handle out = sim.openReadWrite(path + "\\PIPE00");
    os::Handle in = sim.openReadWrite(path + "\\pipe01");  // names compare without case
    ASSERT_NE(out, 0u);
    ASSERT_NE(in, 0u);
    const std::uint8_t msg[3] = {1, 2, 3};
    EXPECT_EQ(sim.writeHandle(out, msg, 3), 3);
    std::uint8_t got[8] = {};
    EXPECT_EQ(sim.readHandle(in, got, sizeof got), 3);
    EXPECT_EQ(got[2], 3);
    // Each pipe has one direction.
    EXPECT_EQ(sim.readHandle(out, got, 1), -1);
    EXPECT_EQ(sim.writeHandle(in, msg, 1), -1);

    EXPECT_EQ(sim.openReadWrite(path + "\\PIPE02"), 0u);
    EXPECT_EQ(sim.openReadWrite(path), 0u);
    EXPECT_EQ(sim.openReadWrite("\\\\?\\USB#other\\PIPE00"), 0u);

    // The device leaves the bus: open handles fail at once, new opens fail too.
    sim.detachEndpoint(path);
    EXPECT_EQ(sim.writeHandle(out, msg, 3), -1);
    EXPECT_EQ(sim.readHandle(in, got, 1), -1);
    EXPECT_EQ(sim.openReadWrite(path + "\\PIPE00"), 0u);
    sim.closeHandle(out);
    sim.closeHandle(in);
}

TEST(SimOsFolders, TempAndProgramFoldersEndInABackslash) {
    SimOs sim(Scenario{});
    EXPECT_EQ(sim.tempFolder().back(), '\\');
    EXPECT_EQ(sim.programFolder().back(), '\\');
    EXPECT_TRUE(sim.pathExists(sim.tempFolder()));
    sim.setTempFolder("C:\\Temp");
    EXPECT_EQ(sim.tempFolder(), "C:\\Temp");
    EXPECT_EQ(sim.loadLibrary("NoSuchLibrary.dll"), 0u);
}

}  // namespace
}  // namespace cv50::sim
