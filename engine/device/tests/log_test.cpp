// The dated log file.
#include "engine/device/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "engine/api/exports.h"
#include "sim/testing/scoped_sim.h"

namespace cv50 {
namespace {

using sim::testing::readTextFile;
using sim::testing::ScenarioBuilder;
using sim::testing::ScopedSim;
using sim::testing::TempFolder;

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { log::disable(); }
    void TearDown() override { log::disable(); }

    void setTime(int y, int mo, int d, int h, int mi, int s, int ms) {
        world.sim().clock().setLocalTime({y, mo, d, h, mi, s, ms});
    }
    // The simulated clock barely moves, so times set by a test are the times logged.
    ScopedSim world{ScenarioBuilder().speed(0.000001)};
    TempFolder folder;
};

TEST_F(LogTest, LineIsTimeTabMessageCrLfInTheDatedFile) {
    ASSERT_TRUE(log::setFolder(folder.path().c_str()));
    setTime(2026, 3, 7, 9, 5, 4, 32);
    Log("INFO:%s has %d ports", "hub", 4);
    setTime(2026, 3, 7, 21, 0, 0, 999);
    Log("ERROR:second");
    EXPECT_EQ(readTextFile(folder.file("Log2026-03-07.txt")),
              "09:05:04 032\tINFO:hub has 4 ports\r\n21:00:00 999\tERROR:second\r\n");
}

TEST_F(LogTest, TheListenerHearsEveryLineAlsoWithTheFileOffAndStopsWhenRemoved) {
    std::vector<std::string> heard;
    log::SetLineListener([&](const std::string& line) { heard.push_back(line); });
    Log("INFO:%d of %s", 1, "two");  // no folder set: the file is off
    ASSERT_TRUE(log::setFolder(folder.path().c_str()));
    setTime(2026, 3, 7, 9, 5, 4, 32);
    Log("%s", std::string(2000, 'y').c_str());
    EXPECT_FALSE(log::SetLineListener({}) == nullptr);
    Log("unheard");
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0], "INFO:1 of two");
    EXPECT_EQ(heard[1], std::string(1023, 'y'));
    EXPECT_EQ(readTextFile(folder.file("Log2026-03-07.txt")),
              "09:05:04 032\t" + std::string(1023, 'y') + "\r\n09:05:04 032\tunheard\r\n");
}

TEST_F(LogTest, LongMessageIsCutTo1023Characters) {
    ASSERT_TRUE(log::setFolder(folder.path().c_str()));
    setTime(2026, 1, 2, 3, 4, 5, 6);
    const std::string message(2000, 'x');
    Log("%s", message.c_str());
    EXPECT_EQ(readTextFile(folder.file("Log2026-01-02.txt")),
              "03:04:05 006\t" + std::string(1023, 'x') + "\r\n");
}

TEST_F(LogTest, AScopedPrefixMarksOnlyItsThreadsLinesAndEndsWithItsScope) {
    ASSERT_TRUE(log::setFolder(folder.path().c_str()));
    setTime(2026, 1, 2, 3, 4, 5, 6);
    {
        log::ScopedLinePrefix device("<Layer:1-2> ");
        Log("INFO:first");
        Log("<Layer:%s> INFO:named", "1-2");
        std::thread([] { Log("INFO:other thread"); }).join();
        {
            log::ScopedLinePrefix inner("<Layer:3> ");
            Log("INFO:inner");
        }
        Log("%s", std::string(2000, 'x').c_str());  // the prefix counts against the capacity
    }
    Log("INFO:after");
    EXPECT_EQ(readTextFile(folder.file("Log2026-01-02.txt")),
              "03:04:05 006\t<Layer:1-2> INFO:first\r\n"
              "03:04:05 006\t<Layer:1-2> INFO:named\r\n"
              "03:04:05 006\tINFO:other thread\r\n"
              "03:04:05 006\t<Layer:3> INFO:inner\r\n"
              "03:04:05 006\t<Layer:1-2> " + std::string(1023 - 12, 'x') + "\r\n"
              "03:04:05 006\tINFO:after\r\n");
}

TEST_F(LogTest, LinesEitherSideOfMidnightGoToTwoFiles) {
    ASSERT_TRUE(log::setFolder(folder.path().c_str()));
    setTime(2026, 12, 31, 23, 59, 59, 999);
    Log("before");
    setTime(2027, 1, 1, 0, 0, 0, 1);
    Log("after");
    EXPECT_EQ(readTextFile(folder.file("Log2026-12-31.txt")), "23:59:59 999\tbefore\r\n");
    EXPECT_EQ(readTextFile(folder.file("Log2027-01-01.txt")), "00:00:00 001\tafter\r\n");
}

TEST_F(LogTest, NothingIsWrittenBeforeAFolderIsSet) {
    setTime(2026, 5, 5, 5, 5, 5, 5);
    Log("dropped");
    EXPECT_EQ(::AppendLogLine("dropped too"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    EXPECT_FALSE(std::filesystem::exists("Log2026-05-05.txt"));
}

TEST_F(LogTest, RemovedFolderDropsLinesSilently) {
    const std::string sub = folder.makeFolder("gone");
    ASSERT_TRUE(log::setFolder(sub.c_str()));
    EXPECT_EQ(::AppendLogLine("kept"), 1);
    std::filesystem::remove_all(sub);
    EXPECT_EQ(::AppendLogLine("lost"), 0);
    Log("lost as well");
    EXPECT_FALSE(std::filesystem::exists(sub));
}

TEST_F(LogTest, LinesFromManyThreadsNeverInterleave) {
    ASSERT_TRUE(log::setFolder(folder.path().c_str()));
    setTime(2026, 6, 1, 12, 0, 0, 0);
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string body(300, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) Log("<Layer:%d> %04d %s", t, i, body.c_str());
        });
    }
    for (auto& th : threads) th.join();

    const std::string text = readTextFile(folder.file("Log2026-06-01.txt"));
    const std::regex line(R"(\d\d:\d\d:\d\d \d\d\d\t<Layer:(\d)> (\d{4}) ([a-h])\3{299}\r)");
    std::istringstream in(text);
    std::string l;
    std::vector<int> next(kThreads, 0);
    int count = 0;
    while (std::getline(in, l)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, line)) << "mangled line: " << l.substr(0, 80);
        const int t = std::stoi(m[1]);
        EXPECT_EQ(m[3].str()[0], 'a' + t);
        EXPECT_EQ(std::stoi(m[2]), next[t]++);  // each thread's lines stay in its order
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

TEST_F(LogTest, ExistingFileIsAppendedToNotTruncated) {
    setTime(2026, 8, 8, 8, 8, 8, 8);
    sim::testing::writeTextFile(folder.file("Log2026-08-08.txt"), "earlier\r\n");
    ASSERT_TRUE(log::setFolder(folder.path().c_str()));
    Log("later");
    EXPECT_EQ(readTextFile(folder.file("Log2026-08-08.txt")), "earlier\r\n08:08:08 008\tlater\r\n");
}

}  // namespace
}  // namespace cv50
