// The simulated loader at the byte level: framing, resets and the time commands take.
#include "sim/loader_endpoint.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "cvusbcomm/cvusbcomm.h"

namespace cv50::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes block(cvusb::Opcode op, std::array<std::uint32_t, 4> params, std::uint32_t tag = 1) {
    cvusb::Command c;
    c.opcode = op;
    c.params = params;
    c.tag = tag;
    c.dataLength = *cvusb::expectedDataLength(op, params);
    const auto b = cvusb::encodeCommand(c);
    return Bytes(b.begin(), b.end());
}

std::optional<cvusb::Status> readStatus(LoaderEndpoint& loader, std::size_t dataLength) {
    Bytes answer(dataLength + cvusb::kStatusSize);
    if (loader.hostRead(answer) != static_cast<long long>(answer.size())) return std::nullopt;
    return cvusb::decodeStatus(std::span(answer).last(cvusb::kStatusSize));
}

TEST(LoaderEndpoint, RefusesBlocksItCannotFrameAndAnswersNothingUnasked) {
    SimClock clock(1000);
    LoaderEndpoint loader(std::make_shared<LoaderMedia>(NandSpec{}), clock);
    Bytes out(8);
    EXPECT_EQ(loader.hostRead(out), -1);

    Bytes garbage(32, 0x41);
    EXPECT_FALSE(loader.hostWrite(garbage));
    // A length that does not match the parameters, and one too large to buffer.
    Bytes lying = block(cvusb::Opcode::WriteLBA, {0, 1, 0, 0});
    lying[29] = 0;  // 512 announced as 0
    EXPECT_FALSE(loader.hostWrite(lying));
    EXPECT_FALSE(loader.hostWrite(block(cvusb::Opcode::WriteLBA, {0, 1'000'000, 0, 0})));

    // Still in step: the next good command is answered, with its tag.
    ASSERT_TRUE(loader.hostWrite(block(cvusb::Opcode::SetResetFlag, {}, 77)));
    const auto status = readStatus(loader, 0);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->tag, 77u);
    EXPECT_EQ(status->result, 0);
}

TEST(LoaderEndpoint, ARogueSectorCountGetsAnErrorStatusWithTheFullDataPhase) {
    SimClock clock(1000);
    LoaderEndpoint loader(std::make_shared<LoaderMedia>(NandSpec{}), clock);
    ASSERT_TRUE(loader.hostWrite(block(cvusb::Opcode::ReadSector, {0, 21, 1, 0})));
    const auto status = readStatus(loader, 21 * 528);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->result, CVU_ERR_ARGUMENT);
}

TEST(LoaderEndpoint, AResetHappensEvenWhenTheHostSkipsItsStatus) {
    SimClock clock(1000);
    LoaderEndpoint loader(std::make_shared<LoaderMedia>(NandSpec{}), clock);
    int resets = 0;
    loader.onReset = [&](bool) { ++resets; };
    ASSERT_TRUE(loader.hostWrite(block(cvusb::Opcode::ResetDevice, {})));
    EXPECT_EQ(resets, 0);
    EXPECT_FALSE(loader.hostWrite(block(cvusb::Opcode::SetResetFlag, {})));
    EXPECT_EQ(resets, 1);
}

TEST(LoaderEndpoint, CommandsSpendTheSimulatedTimeTheyWouldTake) {
    // 2048 sectors over a 1 MB/s link with 1 ms page programs: at least 1.05 s and 512 ms.
    SimClock clock(1e5);
    TimingSpec timing;
    timing.linkBytesPerSecond = 1e6;
    timing.pageProgramUs = 1000;
    auto media = std::make_shared<LoaderMedia>(NandSpec{}, timing);
    media->disk.setLayout(DiskLayout{12, {10, 0, 0, 0}, 0});
    LoaderEndpoint loader(media, clock);
    Bytes write = block(cvusb::Opcode::WriteLBA, {0, 2048, 0, 0});
    write.resize(write.size() + 2048 * 512, 0x5A);
    const std::uint64_t before = clock.tickMs();
    const std::uint64_t settledBefore = loaderTimeSettledOnThisThreadMs();
    ASSERT_TRUE(loader.hostWrite(write));
    EXPECT_GE(clock.tickMs() - before, 1048u + 512u);
    const std::uint64_t settled = loaderTimeSettledOnThisThreadMs() - settledBefore;
    EXPECT_GE(settled, 1048u + 512u);
    EXPECT_LE(settled, clock.tickMs() - before);

    // A whole 128 MiB chip erased at 2 ms a block: at least 2 s, on the account of the
    // thread that sent the command only.
    const std::uint64_t beforeErase = clock.tickMs();
    std::uint64_t settledByEraser = 0;
    std::thread eraser([&] {
        EXPECT_TRUE(loader.hostWrite(block(cvusb::Opcode::EraseBlock, {0, 0, 1024, 6}, 2)));
        settledByEraser = loaderTimeSettledOnThisThreadMs();
    });
    eraser.join();
    EXPECT_GE(clock.tickMs() - beforeErase, 2048u);
    EXPECT_GE(settledByEraser, 2048u);
    EXPECT_EQ(loaderTimeSettledOnThisThreadMs() - settledBefore, settled);
}

TEST(LoaderEndpoint, PlayersBehindOneLinkShareItsBandwidth) {
    // Two players each write 1 MiB in 16 KiB commands over a 1 MB/s link of their own or
    // one they share: alone about 1.05 s each, sharing about twice that.
    struct Case {
        const char* name;
        bool shared;
        std::uint64_t atLeastMs, atMostMs;
    };
    const Case cases[] = {{"own links", false, 1040, 1300}, {"one link", true, 1600, 2400}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Slow enough that both threads write at the same simulated time, also on a busy machine.
        SimClock clock(2);
        TimingSpec timing;
        timing.linkBytesPerSecond = 1e9;  // the player's own link is not what limits it
        timing.pageProgramUs = 0;
        timing.commandUs = 0;
        const auto common = std::make_shared<BusShare>(1e6);
        std::vector<std::uint64_t> settled(2);
        // Not std::latch: under Wine, with this toolchain's library, its wait hung this test
        // once for ten minutes; nothing else here blocks.
        std::mutex startMutex;
        std::condition_variable started;
        int arrived = 0;
        std::vector<std::thread> writers;
        for (int i = 0; i < 2; ++i) {
            auto media = std::make_shared<LoaderMedia>(NandSpec{}, timing);
            media->disk.setLayout(DiskLayout{12, {10, 0, 0, 0}, 0});
            media->links = {c.shared ? common : std::make_shared<BusShare>(1e6)};
            writers.emplace_back([&, i, media] {
                LoaderEndpoint loader(media, clock);
                {
                    std::unique_lock lock(startMutex);
                    if (++arrived == 2) started.notify_all();
                    started.wait(lock, [&] { return arrived == 2; });
                }
                const std::uint64_t before = loaderTimeSettledOnThisThreadMs();
                for (std::uint32_t lba = 0; lba < 2048; lba += 32) {
                    Bytes write = block(cvusb::Opcode::WriteLBA, {lba, 32, 0, 0});
                    write.resize(write.size() + 32 * 512, 0x5A);
                    EXPECT_TRUE(loader.hostWrite(write));
                    EXPECT_EQ(readStatus(loader, 0)->result, CVU_OK);
                }
                settled[i] = loaderTimeSettledOnThisThreadMs() - before;
            });
        }
        for (auto& w : writers) w.join();
        for (std::uint64_t ms : settled) {
            EXPECT_GE(ms, c.atLeastMs);
            EXPECT_LE(ms, c.atMostMs);
        }
    }
}

TEST(BusShare, TransfersTakeTheirTurnsAndAnIdleLinkStartsAtOnce) {
    BusShare link(1e6);  // a byte a microsecond
    EXPECT_DOUBLE_EQ(link.reserveUs(0, 1000), 1000);
    EXPECT_DOUBLE_EQ(link.reserveUs(0, 1000), 2000);     // behind the first
    EXPECT_DOUBLE_EQ(link.reserveUs(5000, 500), 5500);   // idle meanwhile: no backlog
}

}  // namespace
}  // namespace cv50::sim
