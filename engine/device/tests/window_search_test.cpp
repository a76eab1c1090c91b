// The search for the system's dialogs on a simulated desktop.
#include "engine/device/window_search.h"

#include <gtest/gtest.h>

#include "sim/testing/scoped_sim.h"

namespace cv50::device {
namespace {

using Kind = sim::SimOs::WindowCall::Kind;

TEST(WindowSearch, ClosesOnlyTheWindowWithTheExactTitleAndEveryText) {
    sim::testing::ScopedSim world(R"({"controllers": []})");
    sim::SimOs& sim = world.sim();
    // Seen before the right one: a window with the title but one text missing, and one
    // whose title only starts alike.
    sim.openWindow("Found", {{"Search for the driver(&L)", true}});
    sim.openWindow("Found it", {{"Search for the driver(&L)", true}, {"CV50", false}});
    const os::Window right = sim.openWindow("Found", {{"A device: CV50", false},
                                                      {"Search for the driver(&L)", true}});
    const WindowSearch search{"Found", {"Search for the driver", "CV50"}};

    EXPECT_EQ(SearchWindowsOnce(search, WindowAction::Close), WindowRound::Done);
    EXPECT_EQ(sim.windowTitles(), (std::vector<std::string>{"Found", "Found it"}));
    EXPECT_NE(right, 0u);
    EXPECT_EQ(SearchWindowsOnce(search, WindowAction::Close), WindowRound::NotFound);
    EXPECT_EQ(sim.windowTitles().size(), 2u);
}

TEST(WindowSearch, PressesTheChildThatHoldsTheText) {
    sim::testing::ScopedSim world(R"({"controllers": []})");
    sim::SimOs& sim = world.sim();
    sim.openWindow("Check", {{"Really?", false}, {"No(&N)", true}, {"Install anyway(&I)", true}});
    EXPECT_EQ(SearchWindowsOnce({"Check", {"(&I)"}}, WindowAction::ClickChild), WindowRound::Done);
    std::vector<std::string> clicked;
    for (const auto& call : sim.windowCalls())
        if (call.kind == Kind::Click) clicked.push_back(call.text);
    EXPECT_EQ(clicked, std::vector<std::string>{"Install anyway(&I)"});
    EXPECT_EQ(sim.windowTitles(), std::vector<std::string>{"Check"});  // a press closes nothing
}

TEST(WindowSearch, ASearchWithoutTitleOrTextsMatchesNothingAndListsNoWindow) {
    sim::testing::ScopedSim world(R"({"controllers": []})");
    sim::SimOs& sim = world.sim();
    sim.openWindow("", {{"", false}, {"Anything", true}});
    sim.openWindow("Found", {{"Anything", true}});
    for (const WindowSearch& search : {WindowSearch{"", {"Anything"}}, WindowSearch{"Found", {}},
                                       WindowSearch{"Found", {"", "Anything"}}})
        EXPECT_EQ(SearchWindowsOnce(search, WindowAction::Close), WindowRound::NotFound)
            << search.title;
    EXPECT_TRUE(sim.windowCalls().empty());
    EXPECT_EQ(sim.windowTitles().size(), 2u);
}

}  // namespace
}  // namespace cv50::device
