// The simulated clock.
#include "sim/sim_clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace cv50::sim {
namespace {

TEST(SimClock, CalendarConversionRoundTripsAcrossMonthYearAndLeapDay) {
    for (const os::LocalTime t : {os::LocalTime{2026, 12, 31, 23, 59, 59, 999},
                                  os::LocalTime{2028, 2, 29, 0, 0, 0, 1},
                                  os::LocalTime{1999, 1, 1, 12, 30, 0, 500}}) {
        const os::LocalTime back = fromMs(toMs(t));
        EXPECT_EQ(back.year, t.year);
        EXPECT_EQ(back.month, t.month);
        EXPECT_EQ(back.day, t.day);
        EXPECT_EQ(back.hour, t.hour);
        EXPECT_EQ(back.minute, t.minute);
        EXPECT_EQ(back.second, t.second);
        EXPECT_EQ(back.millisecond, t.millisecond);
    }
    const os::LocalTime next = fromMs(toMs({2026, 12, 31, 23, 59, 59, 999}) + 2);
    EXPECT_EQ(next.year, 2027);
    EXPECT_EQ(next.month, 1);
    EXPECT_EQ(next.day, 1);
    EXPECT_EQ(next.millisecond, 1);
}

TEST(SimClock, SleepTakesSimulatedTimeAtTheSpeedFactor) {
    SimClock clock(1000.0, os::LocalTime{2026, 1, 1, 0, 0, 0, 0});
    const auto realStart = std::chrono::steady_clock::now();
    const std::uint64_t start = clock.tickMs();
    clock.sleepMs(20000);
    const std::uint64_t slept = clock.tickMs() - start;
    const auto real = std::chrono::steady_clock::now() - realStart;
    EXPECT_GE(slept, 20000u);
    EXPECT_LT(real, std::chrono::seconds(10));  // 20 s of simulated time, not of wall time
    const os::LocalTime t = clock.localTime();
    EXPECT_EQ(t.minute * 60 + t.second >= 20, true);
}

}  // namespace
}  // namespace cv50::sim
