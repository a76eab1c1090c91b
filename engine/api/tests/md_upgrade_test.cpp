// MD_Upgrade and MD_DownImage against simulated players.
#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "engine/api/md_exports.h"
#include "engine/api/progress.h"
#include "engine/api/tests/upgrade_fixture.h"

namespace cv50 {
namespace {

using sim::testing::Timing;
using testing::ImageSpec;
using testing::Mode;
using testing::Player;
using testing::readFile;
using testing::scanAll;
using testing::UpgradeFixture;
using testing::writeFile;

class MdUpgrade : public UpgradeFixture {};

TEST_F(MdUpgrade, BlankMaskRomPlayerIsUpgradedTakesTheImageAndIsUpgradedAgainAsLoader) {
    start({Player(Mode::Msc), Player(Mode::MaskRom).enumerateDelay(0.5)});
    std::string image = packImage("fw.img");
    std::vector<DEVICE_INFO> list = scanAll();
    ASSERT_EQ(list.size(), 2u);
    ASSERT_EQ(list[1].type, MaskRom);
    SEARCH_RESULT devices{2, list.data()};
    ERROR_LIST errors{-1, nullptr};

    // The disk is refused at its own index; the mask-ROM player goes the whole way.
    EXPECT_EQ(MD_Upgrade(&devices, image.data(), &errors, 0, 8), 0);
    ASSERT_EQ(errors.count, 1);
    EXPECT_EQ(errors.errors[0].index, 0u);
    EXPECT_STREQ(errors.errors[0].text, "Error:Device is not Corvusb");
    EXPECT_EQ(list[0].status, StatusFailed);
    EXPECT_EQ(list[1].status, StatusOk);
    EXPECT_TRUE(logged("<Layer:2> INFO:Begin to upgrade"));
    EXPECT_TRUE(logged("INFO:Download Boot start"));
    EXPECT_TRUE(logged("INFO:Writing ID_Block OK"));
    for (const char* file : {"CVBOOT.BIN", "data.bin", "prog.bin", "prog2nd.bin", "FlashBoot.bin"})
        EXPECT_FALSE(tempHas(file)) << file;

    // It was reset: the boot ROM finds the new ID Block and starts the loader.
    DEVICE_INFO loader = waitFor("2", Loader);
    ASSERT_EQ(loader.type, Loader);
    const sim::IdBlockCopy first = idBlockOn(loader);
    EXPECT_EQ(first.diskSizesMB[0], 64);
    EXPECT_EQ(first.diskSizesMB[1], 16);
    SEARCH_RESULT one{1, &loader};
    ASSERT_EQ(MD_DownImage(&one, image.data(), &errors), 1);
    EXPECT_EQ(errors.count, 0);
    EXPECT_EQ(loader.status, StatusOk);
    EXPECT_TRUE(logged("<Layer:2> INFO:Download Image OK"));
    EXPECT_TRUE(diskHoldsImage(loader, image));

    // As a loader it keeps its ID Block layout and takes the image again.
    ASSERT_EQ(MD_Upgrade(&one, image.data(), &errors, 0, 8), 1) << logText();
    EXPECT_EQ(errors.count, 0);
    loader = waitFor("2", Loader);
    ASSERT_EQ(loader.type, Loader);
    EXPECT_EQ(idBlockOn(loader).idbBlocks, first.idbBlocks);
    ASSERT_EQ(MD_DownImage(&one, image.data(), &errors), 1);
    EXPECT_TRUE(diskHoldsImage(loader, image));
}

TEST_F(MdUpgrade, SizesComeFromTheTailBlockOrFromTheImageSize) {
    struct Case {
        const char* tag;
        unsigned callerConfigMB;
        std::uint16_t systemMB, configMB;
    };
    // The image is 1 MB; a system disk without a size record gets the 10 MB margin.
    const Case cases[] = {
        {"TOOLVER", 8, 64, 16},   // the caller's smaller size is raised to the image's
        {"TOOLVER", 24, 64, 24},  // a larger one is used unchanged
        {"TOOLVEX", 8, 1 + 10, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " " + std::to_string(c.callerConfigMB));
        start({Player(Mode::MaskRom).enumerateDelay(0.5)});
        ImageSpec spec;
        spec.tag = c.tag;
        std::string image = packImage("fw.img", spec);
        std::vector<DEVICE_INFO> list = scanAll();
        SEARCH_RESULT devices{1, list.data()};
        ERROR_LIST errors{};
        ASSERT_EQ(MD_Upgrade(&devices, image.data(), &errors, 0, c.callerConfigMB), 1) << logText();
        DEVICE_INFO loader = waitFor("1", Loader);
        ASSERT_EQ(loader.type, Loader);
        const sim::IdBlockCopy copy = idBlockOn(loader);
        EXPECT_EQ(copy.diskSizesMB[0], c.systemMB);
        EXPECT_EQ(copy.diskSizesMB[1], c.configMB);
    }
}

TEST_F(MdUpgrade, AnUnusableImageFailsEveryRecordBeforeAnyDeviceIsTouched) {
    struct Case {
        const char* name;
        const char* message;
    };
    const Case cases[] = {
        {"missing.img", "Error:Extract boot file failed"},
        {"badcrc.img", "Error:Check Version Information failed"},
        {"badhead.img", "Error:Unpack boot file failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start({Player(Mode::Loader), Player(Mode::Msc)});
        ImageSpec spec;
        if (std::string(c.name) == "badcrc.img") spec.crc = 0x12345678;
        std::string image = std::string(c.name) == "missing.img" ? files.file("missing.img")
                                                                 : packImage(c.name, spec);
        if (std::string(c.name) == "badhead.img") {
            // The loader inside the image loses the signature of its head.
            std::vector<std::uint8_t> bytes = readFile(image);
            const std::string signature = flash::kBootSignature;
            auto at = std::search(bytes.begin(), bytes.end(), signature.begin(), signature.end());
            ASSERT_NE(at, bytes.end());
            *at ^= 0x20;
            writeFile(image, bytes);
        }
        std::vector<DEVICE_INFO> list = scanAll();
        ASSERT_EQ(list.size(), 2u);
        SEARCH_RESULT devices{2, list.data()};
        ERROR_LIST errors{};
        EXPECT_EQ(MD_Upgrade(&devices, image.data(), &errors, 0, 8), 0);
        ASSERT_EQ(errors.count, 2);
        for (unsigned i = 0; i < 2; ++i) {
            EXPECT_EQ(errors.errors[i].index, i);
            EXPECT_STREQ(errors.errors[i].text, c.message);
            EXPECT_EQ(list[i].status, StatusFailed);
        }
        EXPECT_FALSE(tempHas("CVBOOT.BIN"));
        EXPECT_EQ(logText().find("Begin to upgrade"), std::string::npos);
        // The loader was never reset: it is still on the bus as it was.
        EXPECT_EQ(scanAll()[0].devInst, list[0].devInst);
    }
}

// Records each device's steps as the workers report them.
struct StepLog {
    std::mutex lock;
    std::map<std::string, std::vector<api::Progress>> byLayer;
    void operator()(const api::Progress& p) {
        std::lock_guard guard(lock);
        byLayer[p.layer].push_back(p);
    }
    std::vector<api::ProgressStep> steps(const std::string& layer) {
        std::vector<api::ProgressStep> out;
        for (const auto& p : byLayer[layer])
            if (out.empty() || out.back() != p.step) out.push_back(p.step);
        return out;
    }
};

TEST_F(MdUpgrade, ImageWorkersWaitOutABusyLoaderButGiveUpOnOneThatStaysBusy) {
    // Two players upgraded in a first world, found upgraded by the second.
    start({Player(Mode::MaskRom), Player(Mode::MaskRom)}, 50, true);
    std::string image = packImage("fw.img");
    {
        std::vector<DEVICE_INFO> list = scanAll();
        SEARCH_RESULT devices{2, list.data()};
        ERROR_LIST errors{};
        ASSERT_EQ(MD_Upgrade(&devices, image.data(), &errors, 0, 8), 1) << logText();
    }
    // Busy for a minute, busy for far longer than the workers wait, and a disk.
    start({Player(Mode::Loader).timing(Timing().busyMs(60000)),
           Player(Mode::Loader).timing(Timing().busyMs(1000000)), Player(Mode::Msc)},
          200, true);
    StepLog progress;
    api::ScopedProgressSink sink([&progress](const api::Progress& p) { progress(p); });
    std::vector<DEVICE_INFO> list = scanAll();
    ASSERT_EQ(list.size(), 3u);
    SEARCH_RESULT devices{3, list.data()};
    ERROR_LIST errors{};
    const std::uint64_t startMs = world->sim().tickMs();
    EXPECT_EQ(MD_DownImage(&devices, image.data(), &errors), 0);
    EXPECT_GE(world->sim().tickMs() - startMs, 180'000u);

    EXPECT_EQ(list[0].status, StatusOk);
    EXPECT_EQ(list[1].status, StatusFailed);
    EXPECT_EQ(list[2].status, StatusFailed);
    ASSERT_EQ(errors.count, 3);
    EXPECT_EQ(errors.errors[0].index, 2u);
    EXPECT_STREQ(errors.errors[0].text, "Error:Device is not Loader");
    EXPECT_EQ(errors.errors[1].index, 1u);
    EXPECT_STREQ(errors.errors[1].text, "Error:Download Image Failed");
    EXPECT_EQ(errors.errors[2].index, 2u);
    EXPECT_STREQ(errors.errors[2].text, "Error:Download Image Failed");
    EXPECT_TRUE(logged("<Layer:2> ERROR:Test device failed,ErrCode(-5)"));
    EXPECT_FALSE(logged("<Layer:1> ERROR:Test device failed,ErrCode(-5)"));
    EXPECT_TRUE(diskHoldsImage(list[0], image));

    using Step = api::ProgressStep;
    EXPECT_EQ(progress.steps("1"),
              (std::vector<Step>{Step::TestDevice, Step::DownloadImage, Step::Done}));
    EXPECT_EQ(progress.steps("2"), (std::vector<Step>{Step::TestDevice, Step::Failed}));
    EXPECT_EQ(progress.steps("3"), (std::vector<Step>{Step::Failed}));
    // The image's bytes, written and then checked, counted up to twice its content.
    const std::uint64_t content = std::filesystem::file_size(image) - 32;
    std::uint64_t last = 0;
    for (const api::Progress& p : progress.byLayer["1"]) {
        if (p.step != Step::DownloadImage || p.total == 0) continue;
        EXPECT_EQ(p.total, 2 * content);
        EXPECT_GT(p.done, last);
        last = p.done;
    }
    EXPECT_EQ(last, 2 * content);
    // While busy the loader tells how far its preparation has come.
    const auto& busy = progress.byLayer["1"];
    EXPECT_TRUE(std::any_of(busy.begin(), busy.end(), [](const api::Progress& p) {
        return p.step == Step::TestDevice && p.total == 60000 && p.done < p.total;
    }));
}

}  // namespace
}  // namespace cv50
