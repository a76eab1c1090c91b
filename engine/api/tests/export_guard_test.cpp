// No exception crosses an export: an allocation that fails deep inside one comes back as the
// export's failure value and a log line, and the host goes on.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>

#include "engine/api/cv_exports.h"
#include "engine/api/exports.h"
#include "engine/api/md_exports.h"
#include "engine/api/search_exports.h"
#include "engine/api/tests/scan_all.h"
#include "engine/device/tests/log_capture.h"
#include "sim/scenario.h"
#include "sim/sim_os.h"
#include "sim/testing/forwarding_os.h"
#include "sim/testing/scenario_builder.h"

namespace cv50 {
namespace {

// The simulator, except that the one call a case names runs out of memory once armed.
class AllocationFailingOs : public sim::testing::ForwardingOs {
public:
    enum class Call { None, HostControllers, OpenFile, OpenReadWrite, LocalTime };
    using ForwardingOs::ForwardingOs;

    Call failing = Call::None;

    std::vector<std::string> hostControllerPaths() override {
        failIf(Call::HostControllers);
        return ForwardingOs::hostControllerPaths();
    }
    std::FILE* openFile(const std::string& path, const char* mode) override {
        failIf(Call::OpenFile);
        return ForwardingOs::openFile(path, mode);
    }
    os::Handle openReadWrite(const std::string& path) override {
        failIf(Call::OpenReadWrite);
        return ForwardingOs::openReadWrite(path);
    }
    os::LocalTime localTime() override {
        failIf(Call::LocalTime);
        return ForwardingOs::localTime();
    }

private:
    void failIf(Call call) {
        if (failing == call) throw std::bad_alloc();
    }
};

class ExportGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        using sim::testing::Mode;
        using sim::testing::Player;
        const auto scenario = sim::testing::ScenarioBuilder().speed(100).ports(
            {Player(Mode::Loader), Player(Mode::Msc)});
        auto sim = std::make_unique<sim::SimOs>(sim::parseScenario(scenario.text(), "guard test"));
        auto failing = std::make_unique<AllocationFailingOs>(std::move(sim));
        os_ = failing.get();
        previous_ = os::install(std::move(failing));
        players_ = testing::scanAll();
        ASSERT_EQ(players_.size(), 2u);
    }
    void TearDown() override { os::install(std::move(previous_)); }

    DEVICE_INFO& player(CV_DEVICE_TYPE type) {
        for (DEVICE_INFO& d : players_)
            if (d.type == type) return d;
        throw std::logic_error("no such player");
    }

    AllocationFailingOs* os_ = nullptr;
    std::unique_ptr<os::Os> previous_;
    std::vector<DEVICE_INFO> players_;
};

TEST_F(ExportGuardTest, AFailedAllocationBecomesTheFailureValueAndOneLogLine) {
    using Call = AllocationFailingOs::Call;
    struct Case {
        const char* name;
        Call failing;
        std::function<int()> call;
        int failure;
    };
    char image[] = "C:\\firmware.img";
    char loader[] = "C:\\CVBOOT.BIN";
    const Case cases[] = {
        {"ScanCorvUsb", Call::HostControllers,
         [] {
             SEARCH_RESULT r{};
             return ScanCorvUsb(&r);
         },
         0},
        {"CV_FindDevice", Call::HostControllers,
         [] {
             DEVICE_INFO d{};
             return CV_FindDevice(d, 0);
         },
         0},
        {"WaitCVDevice", Call::HostControllers,
         [&] {
             SEARCH_RESULT list{1, &player(Loader)};
             return WaitCVDevice(&list, Loader, 1);
         },
         0},
        {"CVCheckImage", Call::OpenFile, [&] { return CVCheckImage(image); }, 0},
        {"CV_GetDiskSize", Call::OpenFile,
         [&] {
             unsigned system = 0, config = 0;
             return CV_GetDiskSize(image, system, config);
         },
         -1},
        {"CV_Upgrade", Call::OpenFile,
         [&] { return CV_Upgrade(player(Loader), 8, 8, 0, loader, 0, 0); }, -3},
        {"MD_GetDeviceVersion", Call::OpenReadWrite,
         [&] {
             SEARCH_RESULT list{1, &player(Msc)};
             _CORV_VERSION v{};
             ERROR_LIST errors{};
             return MD_GetDeviceVersion(&list, &v, &errors);
         },
         0},
        {"MD_SwitchToCorvUsb", Call::OpenReadWrite,
         [&] {
             SEARCH_RESULT list{1, &player(Msc)};
             ERROR_LIST errors{};
             return MD_SwitchToCorvUsb(&list, &errors);
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::LogCapture log;
        os_->failing = c.failing;
        const int result = c.call();
        os_->failing = Call::None;
        EXPECT_EQ(result, c.failure);
        EXPECT_TRUE(
            log.contains(std::string("ERROR:") + c.name + " failed,exception(std::bad_alloc)"))
            << log.text();
    }
}

TEST_F(ExportGuardTest, TheLogExportSurvivesALogThatCannotBeWritten) {
    testing::LogCapture log;
    os_->failing = AllocationFailingOs::Call::LocalTime;
    ::Log("INFO:%s", "lost");
    EXPECT_EQ(::AppendLogLine("lost too"), 0);
    os_->failing = AllocationFailingOs::Call::None;
    ::Log("INFO:%s", "kept");
    EXPECT_TRUE(log.contains("INFO:kept"));
    EXPECT_FALSE(log.contains("lost"));
}

}  // namespace
}  // namespace cv50
