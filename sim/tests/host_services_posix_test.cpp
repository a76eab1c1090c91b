// Without Windows nobody answers a box of a simulated world: the cautious answer comes back.
#include <gtest/gtest.h>

#include "sim/sim_os.h"

namespace cv50::sim {
namespace {

TEST(SimOsMessages, WithoutAnAnswererANoticeIsOkAndAQuestionIsRefused) {
    SimOs sim(Scenario{});
    using B = os::MessageButtons;
    using A = os::MessageAnswer;
    EXPECT_EQ(sim.messageBox("notice", "T", B::Ok, os::MessageIcon::Information), A::Ok);
    EXPECT_EQ(sim.messageBox("lose data?", "T", B::OkCancel, os::MessageIcon::Information),
              A::Cancel);
    EXPECT_EQ(sim.messageBox("go on?", "T", B::YesNo, os::MessageIcon::Warning), A::No);
    EXPECT_EQ(sim.shownMessages().size(), 3u);
}

}  // namespace
}  // namespace cv50::sim
