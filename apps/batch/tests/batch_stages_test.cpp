// Whole batches of simulated players through the production tool's core: the stage gates,
// the waits after a reset, the demo stage and the counters.
#include "apps/batch/tests/batch_fixture.h"

namespace cv50::batch::testing {
namespace {

using sim::testing::Faults;
using sim::testing::Mode;
using sim::testing::Place;
using sim::testing::Timing;

int cell(int slot) { return IDC_NUMBER_CELL + slot; }

bool contains(const std::vector<std::uint32_t>& colours, std::uint32_t colour) {
    return std::find(colours.begin(), colours.end(), colour) != colours.end();
}

class BatchStagesTest : public BatchFixture {};

TEST_F(BatchStagesTest, ABatchOfOneOpensItsOwnGateAndEndsWithItsImageWritten) {
    start({player(Mode::MaskRom)});
    launch();
    tool->chooseImage(image());
    EXPECT_EQ(view.text(IDC_BOOT_VERSION), "1.23");
    ASSERT_TRUE(bound(1));
    EXPECT_EQ(view.text(IDC_LAYER_CELL), "1");
    EXPECT_EQ(view.colour(cell(0)), colour::kMaskRom);

    tool->onUpgrade();
    EXPECT_TRUE(view.hasLine("M45 1"));
    EXPECT_FALSE(view.enabled(IDC_UPGRADE));
    ASSERT_TRUE(batchEnds(1, 0)) << listText() << toolLog();
    for (const char* line : {"L9 1", "L1 1", "L2 1", "L37 1", "L36 1", "L50 1", "L52 1", "L49 1",
                             "L48 1", "L68 1", "L59 1", "L62 1", "L87 1", "L88 1", "L10 1"})
        EXPECT_TRUE(view.hasLine(line)) << line << "\n" << listText();
    EXPECT_EQ(view.colourOf("L9 1"), kListText);
    for (const char* line : {"<Layer:1> 开始升级", "<Layer:1> 写IDB成功",
                             "<Layer:1> (MaskRom)升级第一阶段完成,等待下载Image",
                             "<Layer:1> 升级成功"})
        EXPECT_TRUE(toolLogged(line)) << line;
    // The engine's own lines of the device name it.
    EXPECT_TRUE(toolLogged("<Layer:1> INFO:Start to write image to flash")) << toolLog();
    EXPECT_TRUE(contains(view.colours(cell(0)), colour::kFromMaskRom));
    EXPECT_EQ(view.text(IDC_SUCCEEDED), "1");
    EXPECT_EQ(view.text(IDC_FAILED), "0");
    EXPECT_TRUE(view.enabled(IDC_UPGRADE));
    // Closed without the demo stage: reset, it comes back as a Loader with the image.
    const DEVICE_INFO loader = waitFor("1", Loader);
    ASSERT_EQ(loader.type, Loader);
    EXPECT_TRUE(diskHoldsImage(loader, files.path() + "/new.img"));
}

TEST_F(BatchStagesTest, AStageOneFailureReleasesItsPlaceAndTheOthersResetAtOnce) {
    // Port 3 answers no test after its boot programs: it fails last, the others wait for it.
    start({player(Mode::MaskRom), player(Mode::Loader), player(Mode::MaskRom).faults(Faults().failCommand("TestUnitReady", 10))});
    writeIdBlock("2");
    launch();
    tool->chooseImage(image());
    ASSERT_TRUE(bound(3));
    tool->onUpgrade();
    ASSERT_TRUE(batchEnds(2, 1)) << listText() << toolLog();
    EXPECT_TRUE(toolLogged("<Layer:3> Error:升级失败-测试设备失败")) << toolLog();
    // Its last test answer came before its place was released, the others' resets after.
    const std::size_t lastTest = toolLog().rfind("<Layer:3> ERROR:测试设备失败,错误代码(-4)");
    ASSERT_NE(lastTest, std::string::npos) << toolLog();
    for (const char* reset : {"<Layer:1> 开始重启设备", "<Layer:2> 开始重启设备"})
        EXPECT_GT(logPosition(reset), lastTest) << reset;
    EXPECT_EQ(view.colourOf("L61 3"), kListFailure);
    EXPECT_EQ(view.colourOf("L12 3"), kListFailure);
    EXPECT_TRUE(toolLogged("<Layer:2> (Loader)升级第一阶段完成,等待下载Image"));
    EXPECT_TRUE(contains(view.colours(cell(0)), colour::kFromMaskRom));
    EXPECT_TRUE(contains(view.colours(cell(1)), colour::kFromLoader));
    EXPECT_EQ(view.colours(cell(2)).back(), colour::kFailed);
    EXPECT_EQ(view.text(IDC_FAILED), "1");
}

TEST_F(BatchStagesTest, APlayerThatNeverReturnsIsGivenUpAndTheOthersThenDownload) {
    start({player(Mode::MaskRom).faults(Faults().neverReturnAt(1)), player(Mode::MaskRom)});
    launch();
    tool->chooseImage(image());
    ASSERT_TRUE(bound(2));
    tool->onUpgrade();
    ASSERT_TRUE(batchEnds(1, 1)) << listText() << toolLog();
    const std::size_t givenUp = logPosition("<Layer:1> Error:升级失败-Reset后等待Loader设备超时");
    ASSERT_NE(givenUp, std::string::npos) << toolLog();
    EXPECT_GT(logPosition("<Layer:2> 开始Image下载"), givenUp);
    EXPECT_EQ(view.colourOf("L69 1"), kListFailure);
    EXPECT_TRUE(view.hasLine("L12 1"));
    // Grey when it left at its reset, red when it was given up.
    EXPECT_EQ(view.colours(cell(0)).back(), colour::kFailed);
    EXPECT_TRUE(contains(view.colours(cell(0)), colour::kAbsent));
}

TEST_F(BatchStagesTest, ALoaderNeverSeenToLeaveIsImagedAfterTheWait) {
    start({player(Mode::MaskRom).enumerateDelay(0)});
    launch();
    tool->chooseImage(image());
    ASSERT_TRUE(bound(1));
    tool->onUpgrade();
    ASSERT_TRUE(batchEnds(1, 0)) << listText() << toolLog();
    const std::size_t waitOver = logPosition("Reset后等待设备超时,继续下载Image");
    ASSERT_NE(waitOver, std::string::npos) << toolLog();
    EXPECT_GT(logPosition("<Layer:1> 开始Image下载"), waitOver);
    EXPECT_EQ(toolLog().find("Reset后重新连接上"), std::string::npos);
}

TEST_F(BatchStagesTest, BusyAnswersShowTheScanInTheCellAndNeverCountAsFailures) {
    // Busy for as long after each start: through most of stage one's test, and after the
    // reset through the first answers of the image stage's.
    start({player(Mode::MaskRom).timing(Timing().busyMs(3500))});
    launch();
    tool->chooseImage(image());
    ASSERT_TRUE(bound(1));
    tool->onUpgrade();
    ASSERT_TRUE(batchEnds(1, 0)) << listText() << toolLog();
    const auto texts = view.textHistory(cell(0));
    const auto percent = std::count_if(texts.begin(), texts.end(), [](const std::string& t) {
        return !t.empty() && t.back() == '%';
    });
    EXPECT_GE(percent, 2) << "a share shown after each busy answer";
    EXPECT_EQ(view.text(cell(0)), "1");
    const std::string log = toolLog();
    const std::size_t imageStage = log.find("<Layer:1> 下载Image线程");
    ASSERT_NE(imageStage, std::string::npos);
    EXPECT_EQ(log.find("ERROR:测试设备失败", imageStage), std::string::npos) << log;
}

TEST_F(BatchStagesTest, AVerifyDifferenceFailsTheSlotAndLeavesItsRecordInTheLogFolder) {
    start({player(Mode::MaskRom).faults(Faults().flipBit(Place::lba(40), 7, 0))});
    launch();
    tool->chooseImage(image());
    ASSERT_TRUE(bound(1));
    tool->onUpgrade();
    ASSERT_TRUE(batchEnds(0, 1)) << listText() << toolLog();
    EXPECT_EQ(view.colourOf("L63 1"), kListFailure);
    EXPECT_TRUE(toolLogged("<Layer:1> Error:升级失败-Image下载出错,错误代码(-9)")) << toolLog();
    // The second piece (sectors 32-63) differs, then as well when read again.
    EXPECT_NE(toolLog().find("<Layer:1> ERROR:写入数据和原始数据不一致,校验失败,已校验16384字节"),
              std::string::npos);
    EXPECT_TRUE(toolLogged("<Layer:1> ERROR:第二次比较不一致"));
    std::map<std::string, std::vector<std::uint8_t>> dumps;
    for (const auto& entry : std::filesystem::directory_iterator(program.path() + "/log"))
        if (entry.path().extension() == ".bin")
            dumps[entry.path().filename().string().substr(12)] = sim::testing::readFile(entry.path().string());
    ASSERT_EQ(dumps.size(), 3u);
    const std::vector<std::uint8_t> content = sim::testing::readFile(files.path() + "/new.img");
    const std::vector<std::uint8_t> piece(content.begin() + 16384, content.begin() + 32768);
    EXPECT_TRUE(dumps["old.bin"] == piece);
    std::vector<std::uint8_t> flipped = piece;
    flipped[(40 - 32) * 512 + 7] ^= 1;
    EXPECT_TRUE(dumps["new.bin"] == flipped);
    EXPECT_TRUE(dumps["new2.bin"] == flipped);
}

TEST_F(BatchStagesTest, EveryPlayerFailingStageOneClosesTheBatchAtOnceWithoutTheDemoStage) {
    start({player(Mode::Loader), player(Mode::Loader)});  // blank: no ID Block to update
    launch();
    tool->chooseImage(image());
    tool->onChecked(IDC_DEMO, true);
    ASSERT_TRUE(bound(2));
    tool->onUpgrade();
    ASSERT_TRUE(batchEnds(0, 2)) << listText();
    EXPECT_TRUE(view.hasLine("L51 1"));
    EXPECT_TRUE(toolLogged("<Layer:2> Error:升级失败-写IDB失败,错误代码(-22)")) << toolLog();
    EXPECT_EQ(listText().find("M71"), std::string::npos);
    EXPECT_EQ(view.text(IDC_FAILED), "2");
    EXPECT_TRUE(view.enabled(IDC_DEMO));
}

TEST_F(BatchStagesTest, TheDemoStageCountsOnTheImageStagesFailuresAndReplacesItsSuccesses) {
    // 1 gets the demo files; 2 never mounts its disk; 3 has no ID Block to update.
    start({player(Mode::MaskRom), player(Mode::MaskRom).neverMounts(), player(Mode::Loader)});
    launch(defaultSettings("DISK_VOLUME=BATCH\n"));
    tool->chooseImage(image());
    tool->onChecked(IDC_DEMO, true);
    tool->chooseDemoFolder(demoFolder());
    ASSERT_TRUE(bound(3));
    tool->onUpgrade();
    ASSERT_TRUE(batchEnds(1, 2)) << listText() << toolLog();
    EXPECT_TRUE(view.hasLine("M71 2"));
    for (const char* line : {"L79 1", "L72 1", "L74 1", "L76 1", "L10 1"})
        EXPECT_TRUE(view.hasLine(line)) << line << "\n" << listText();
    EXPECT_EQ(view.colourOf("L73 2"), kListFailure);
    EXPECT_TRUE(toolLogged("<Layer:2> Error:升级失败-获取Demo盘失败"));
    EXPECT_EQ(view.colour(cell(0)), colour::kDemoDone);
    EXPECT_TRUE(contains(view.colours(cell(0)), colour::kFromMaskRom));
    EXPECT_EQ(view.colour(cell(1)), colour::kFailed);
    EXPECT_EQ(view.colour(cell(2)), colour::kFailed);
    EXPECT_EQ(view.text(IDC_SUCCEEDED), "1");
    EXPECT_EQ(view.text(IDC_FAILED), "2");
    closeTool();
    const DEVICE_INFO disk = waitFor("1", Msc, 5);
    ASSERT_EQ(disk.type, Msc);
    EXPECT_EQ(fileOnDisk(disk, "Read Me.txt"), std::optional<std::string>("hello\n"));
    const auto formats = world->sim().formatRequests();
    ASSERT_FALSE(formats.empty());
    EXPECT_EQ(formats.front().label, "BATCH");
}

TEST_F(BatchStagesTest, WithoutADemoFolderTheDemoStageOnlyFormats) {
    start({player(Mode::MaskRom)});
    launch();
    tool->chooseImage(image());
    tool->onChecked(IDC_DEMO, true);
    ASSERT_TRUE(bound(1));
    tool->onUpgrade();
    ASSERT_TRUE(batchEnds(1, 0)) << listText() << toolLog();
    EXPECT_TRUE(view.hasLine("L74 1"));
    EXPECT_FALSE(view.hasLine("L76 1"));
    EXPECT_EQ(view.colour(cell(0)), colour::kDemoDone);
    const auto formats = world->sim().formatRequests();
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_TRUE(formats[0].succeeded);
    EXPECT_EQ(formats[0].fileSystem, "FAT32");
}

TEST_F(BatchStagesTest, ClosingWhileWorkersWaitAtAGateEndsEveryThread) {
    // 2 keeps failing its test while 1 waits for it at the Event gate.
    start({player(Mode::Loader), player(Mode::MaskRom).faults(Faults().failCommand("TestUnitReady", 10))},
          5);
    writeIdBlock("1");
    launch();
    tool->chooseImage(image());
    ASSERT_TRUE(bound(2));
    tool->onUpgrade();
    ASSERT_TRUE(pumpUntil([&] { return view.hasLine("L52 1"); })) << toolLog();
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(tool->requestClose());
    EXPECT_FALSE(tool->requestClose());
    EXPECT_EQ(tool->closeRequests(), 2);
    tool.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    EXPECT_EQ(toolLog().find("<Layer:1> 开始重启设备"), std::string::npos);
}

}  // namespace
}  // namespace cv50::batch::testing
