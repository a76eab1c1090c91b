// The mask-ROM boot download against a simulated player in mask ROM.
#include "engine/flash/boot_download.h"

#include <gtest/gtest.h>

#include "engine/api/search_exports.h"
#include "engine/device/search.h"
#include "engine/device/tests/log_capture.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::flash {
namespace {

using sim::testing::ScopedSim;
using sim::testing::TempFolder;

class BootDownloadTest : public ::testing::Test {
protected:
    BootDownloadTest() {
        SEARCH_RESULT r{};
        if (ScanCorvUsb(&r) == 1) device.setDevicePath(r.devices[0].devicePath);
    }

    std::string file(const std::string& name, std::size_t size) {
        const std::string path = folder.file(name);
        sim::testing::writeFile(path, sim::testing::patternBytes(size, 1));
        return path;
    }
    const sim::MaskRom& rom() {
        return *sim.sim().withWorld([](sim::UsbWorld& w) { return &w.players()[0]->maskRom; });
    }

    ScopedSim sim{sim::testing::ScenarioBuilder().speed(100).port(
        sim::testing::Player(sim::testing::Mode::MaskRom))};
    TempFolder folder;
    BootDownload device;
};

TEST_F(BootDownloadTest, PacketShapesForEveryTailLength) {
    struct Case {
        std::size_t size;
        std::vector<std::size_t> packets;
    } cases[] = {
        {0, {2}},                        // only the checksum 0xFFFF
        {8192, {4096, 4096, 2}},         // whole packets, then a 2-byte tail
        {4096 + 4094, {4096, 4096, 0}},  // the tail fills a packet: an empty one follows
        {4096 + 4095, {4096, 4096, 1}},  // the checksum's low byte goes alone
        {100, {102}},
    };
    for (const Case& c : cases) {
        // The ROM takes data.bin only once: every case starts with a fresh one.
        sim.sim().withWorld(
            [](sim::UsbWorld& w) { return w.players()[0]->maskRom = sim::MaskRom{}, 0; });
        const std::string path = file("piece" + std::to_string(c.size), c.size);
        EXPECT_EQ(device.DownloadOneFile(kRequestDataFile, path), c.size + 2) << c.size;
        EXPECT_EQ(rom().requestSizes(), c.packets) << c.size;
        EXPECT_EQ(rom().refusedFiles(), 0) << c.size;  // every checksum was right
    }
}

TEST_F(BootDownloadTest, ThreeProgramsBringTheRomUp) {
    testing::LogCapture log;
    ASSERT_EQ(device.DownloadBoot(file("data.bin", 1000), file("prog.bin", 4096 * 3 + 10),
                                  file("prog2nd.bin", 65536)),
              1);
    EXPECT_TRUE(rom().booted());
    for (const char* line :
         {"INFO:Download Data.bin OK", "INFO:Download Prog.bin OK", "INFO:Download Prog2nd.bin OK"})
        EXPECT_TRUE(log.contains(line)) << line;
}

TEST_F(BootDownloadTest, IllegalRequestCodeIsRefusedBeforeAnythingIsSent) {
    testing::LogCapture log;
    ASSERT_TRUE(device.OpenDevice(2));
    std::uint64_t total = 99;
    EXPECT_EQ(device.SendFile(0x8000A008, file("x.bin", 10), total), 0);
    EXPECT_EQ(total, 0u);
    EXPECT_TRUE(rom().requestSizes().empty());
    EXPECT_TRUE(log.contains("ERROR:Request is not legal"));
}

TEST_F(BootDownloadTest, FailuresAreLoggedAndEndTheDownload) {
    testing::LogCapture log;
    // Out of order: the ROM refuses a program before data.bin.
    EXPECT_EQ(device.DownloadOneFile(kRequestProgFile, file("p.bin", 10)), 0u);
    EXPECT_TRUE(log.contains("ERROR:DeviceIoControl failed  bRet: 0")) << log.text();
    EXPECT_EQ(
        device.DownloadBoot(folder.path() + "/missing.bin", file("p.bin", 1), file("q.bin", 1)), 0);
    EXPECT_TRUE(log.contains("ERROR:get file size failed,Name(")) << log.text();
    EXPECT_TRUE(log.contains("ERROR:Download Data.bin failed!")) << log.text();
    EXPECT_TRUE(log.contains("ERROR:Transfered(0),size(2)\r\n")) << log.text();

    BootDownload nowhere(
        "\\\\?\\USB#VID_071B&PID_3201#gone#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    EXPECT_EQ(nowhere.DownloadOneFile(kRequestDataFile, file("d.bin", 1)), 0u);
    EXPECT_TRUE(log.contains("ERROR:open device failed,Path(\\\\?\\USB#VID_071B&PID_3201#gone"))
        << log.text();
}

}  // namespace
}  // namespace cv50::flash
