// The one percentage of a whole upgrade, fed by the reports of real roads through simulated
// players.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <vector>

#include "engine/api/overall_progress.h"
#include "engine/api/tests/upgrade_fixture.h"
#include "engine/api/upgrade_road.h"

namespace cv50 {
namespace {

using api::ProgressStep;
using sim::testing::Mode;
using sim::testing::Player;

TEST(OverallProgress, ByteStepsMoveThroughTheirSpanAndNothingGoesBack) {
    struct Report {
        ProgressStep step;
        std::uint64_t done, total;
        unsigned expected;
    };
    const Report road[] = {
        {ProgressStep::Switch, 0, 0, 0},
        {ProgressStep::WaitLoader, 0, 0, 0},  // still the switch's wait
        {ProgressStep::Upgrade, 0, 0, 4},
        {ProgressStep::WriteIdBlock, 0, 0, 12},
        {ProgressStep::Reset, 0, 0, 16},
        {ProgressStep::WaitLoader, 0, 0, 17},
        {ProgressStep::TestDevice, 0, 0, 17},  // the loader's own test comes late: no step back
        {ProgressStep::DownloadImage, 512, 1024, 50},
        {ProgressStep::DownloadImage, 4096, 1024, 80},  // a count past its total stops at the end
        {ProgressStep::Failed, 0, 0, 80},
    };
    api::OverallProgress overall;
    for (const Report& r : road) {
        SCOPED_TRACE(api::progressStepName(r.step));
        EXPECT_EQ(overall.update({"1-2", r.step, r.done, r.total}), r.expected);
    }
    // Another port starts from nothing.
    EXPECT_EQ(overall.update({"1-3", ProgressStep::DownloadBoot, 0, 0}), 4u);

    // A road that ends with the format reaches 100 there.
    api::OverallProgress toFormat(api::lastStepOf(api::RoadEnd::Format));
    EXPECT_EQ(toFormat.update({"1", ProgressStep::DownloadImage, 1, 2}), 50u * 100 / 90);
    EXPECT_EQ(toFormat.update({"1", ProgressStep::Format, 1, 1}), 100u);
}

class OverallProgressRoad : public testing::UpgradeFixture {
protected:
    // The percentages each port went through, in order, during one road.
    std::map<std::string, std::vector<unsigned>> run(const api::RoadOptions& road) {
        std::map<std::string, std::vector<unsigned>> seen;
        api::OverallProgress overall(api::lastStepOf(road.end));
        std::mutex lock;
        api::ScopedProgressSink sink([&](const api::Progress& p) {
            std::lock_guard hold(lock);
            seen[p.layer].push_back(overall.update(p));
        });
        for (const auto& r : api::RunUpgradeRoad(road)) EXPECT_TRUE(r.ok) << r.message;
        return seen;
    }
    static bool passes(const std::vector<unsigned>& values, unsigned above, unsigned below) {
        for (unsigned v : values)
            if (v > above && v < below) return true;
        return false;
    }
};

TEST_F(OverallProgressRoad, AMaskRomPlayerAndThenItsDiskGoFromTheStartToTheirLastStep) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5)});
    api::RoadOptions road;
    road.image = packImage("fw.img");
    road.end = api::RoadEnd::Copy;
    road.copySource = files.path() + "/content";
    auto seen = run(road)["1"];
    ASSERT_FALSE(seen.empty());
    EXPECT_LE(seen.front(), 4u);
    EXPECT_TRUE(passes(seen, 20, 80)) << "the image bytes did not move it";
    EXPECT_GE(seen.back(), 90u);
    EXPECT_LT(seen.back(), 100u);  // the copy has no byte count: its span's start

    // Now a disk: its switch and the wait after it are the start of its road, not the wait
    // after the ID Block.
    road.end = api::RoadEnd::Format;
    seen = run(road)["1"];
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::all_of(seen.begin(), seen.begin() + 2, [](unsigned v) { return v <= 4; }));
    EXPECT_TRUE(passes(seen, 22, 88));
    EXPECT_GE(seen.back(), 94u);  // the format's start, of a road that ends with it
}

}  // namespace
}  // namespace cv50
