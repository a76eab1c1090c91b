// Scans, search-result copies and the multi-device wait over simulated players.
#include "engine/device/search.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/api/search_exports.h"
#include "engine/device/match_ids.h"
#include "engine/device/tests/log_capture.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::device {
namespace {

using sim::testing::Device;
using sim::testing::Json;
using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::ScenarioBuilder;
using sim::testing::ScopedSim;

ScenarioBuilder ports(const std::vector<Json>& entries, double speed = 50) {
    return ScenarioBuilder().speed(speed).ports(entries);
}

TEST(Scan, KindComesFromThePairAndBit0OfBcdUsb) {
    ScopedSim sim(ports({Device(0x071b, 0x3201, 0x0200), Device(0x071b, 0x3201, 0x0201),
                         Player(Mode::MaskRom), Player(Mode::Loader), Player(Mode::Msc),
                         Device(0x046d, 0xc52b, 0x0201)}));
    SEARCH_RESULT usb{};
    ASSERT_EQ(ScanCorvUsb(&usb), 4);
    const CV_DEVICE_TYPE expected[] = {MaskRom, Loader, MaskRom, Loader};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(usb.devices[i].type, expected[i]) << i;
        EXPECT_EQ(usb.devices[i].status, StatusIdle);
        EXPECT_EQ(usb.devices[i].driveLetter, 0);
        EXPECT_EQ(std::string(usb.devices[i].layer), std::to_string(i + 1));
    }
    SEARCH_RESULT msc{};
    ASSERT_EQ(ScanCorvMsc(&msc), 1);
    EXPECT_EQ(msc.devices[0].type, Msc);
    EXPECT_EQ(std::string(msc.devices[0].layer), "5");
    EXPECT_EQ(msc.devices[0].driveLetter, 'D');
}

TEST(Scan, OtherMatchNumbersAfterSetVidPid) {
    ScopedSim sim(ports({Player(Mode::Loader).corvUsbIds(0x1234, 0x0001), Player(Mode::Loader)}));
    SEARCH_RESULT r{};
    matchIds() = MatchIds{0x1234, 0x0001, 0x071b, 0x3203};
    EXPECT_EQ(ScanCorvUsb(&r), 1);
    EXPECT_EQ(std::string(r.devices[0].layer), "1");
    matchIds() = MatchIds{};
    EXPECT_EQ(ScanCorvUsb(&r), 1);
    EXPECT_EQ(std::string(r.devices[0].layer), "2");
}

TEST(Scan, NothingFoundGivesCountZeroAndNoList) {
    ScopedSim sim(ports({nullptr}));
    SEARCH_RESULT r{5, searchTable()};
    EXPECT_EQ(ScanCorvUsb(&r), 0);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.devices, nullptr);
}

TEST(Scan, DiskWithoutAMountedVolumeGetsLetter0AfterAbout3Seconds) {
    ScopedSim sim(ports({Player(Mode::Msc).neverMounts()}, 20));
    SEARCH_RESULT r{};
    const std::uint64_t start = sim.sim().tickMs();
    ASSERT_EQ(ScanCorvMsc(&r), 1);
    const std::uint64_t took = sim.sim().tickMs() - start;
    EXPECT_EQ(r.devices[0].driveLetter, 0);
    EXPECT_GE(took, 3000u);
    EXPECT_LT(took, 6000u);
}

TEST(Scan, SeventeenPlayersFillTheSixteenRecordsAndNoMore) {
    ScopedSim sim(ports(std::vector<Json>(17, Player(Mode::Loader))));
    testing::LogCapture log;
    SEARCH_RESULT r{};
    EXPECT_EQ(ScanCorvUsb(&r), 16);
    EXPECT_EQ(std::string(r.devices[15].layer), "16");
    EXPECT_TRUE(log.contains("the device at Layer 17 is ignored")) << log.text();
}

// A caller-owned list of records with the given Layers and statuses.
struct List {
    explicit List(std::initializer_list<std::pair<const char*, std::uint32_t>> records) {
        for (auto [layer, status] : records) {
            DEVICE_INFO d;
            std::memset(&d, 0, sizeof d);
            std::strcpy(d.layer, layer);
            d.status = status;
            d.type = Loader;
            items.push_back(d);
        }
        result = {static_cast<int>(items.size()), items.data()};
    }
    std::vector<DEVICE_INFO> items;
    SEARCH_RESULT result;
};

TEST(SearchResultCopies, CopyAllCopySuccessfulAndFree) {
    List list({{"1", StatusOk}, {"2", StatusFailed}, {"3", StatusOk}, {"4", StatusIdle}});
    SEARCH_RESULT all{}, ok{};
    ASSERT_EQ(CopySearchResult(&list.result, &all), 1);
    ASSERT_EQ(all.count, 4);
    EXPECT_NE(all.devices, list.items.data());
    EXPECT_EQ(std::memcmp(all.devices, list.items.data(), 4 * sizeof(DEVICE_INFO)), 0);

    ASSERT_EQ(CopySuccessSearchResult(&list.result, &ok), 1);
    ASSERT_EQ(ok.count, 2);
    EXPECT_STREQ(ok.devices[0].layer, "1");
    EXPECT_STREQ(ok.devices[1].layer, "3");

    EXPECT_EQ(FreeSearchResult(&all), 1);
    EXPECT_EQ(FreeSearchResult(&ok), 1);

    List none({{"1", StatusFailed}});
    SEARCH_RESULT untouched{7, nullptr};
    EXPECT_EQ(CopySuccessSearchResult(&none.result, &untouched), 0);
    EXPECT_EQ(untouched.count, 7);
    SEARCH_RESULT empty{0, nullptr};
    EXPECT_EQ(CopySearchResult(&empty, &untouched), 0);
    EXPECT_EQ(FreeSearchResult(&empty), 0);
}

TEST(SearchResultCopies, FreeingAScanResultReleasesNothing) {
    ScopedSim sim(ports({Player(Mode::Loader)}));
    SEARCH_RESULT r{};
    ASSERT_EQ(ScanCorvUsb(&r), 1);
    EXPECT_EQ(FreeSearchResult(&r), 0);
    EXPECT_EQ(r.devices, searchTable());  // fields left as they were
    EXPECT_EQ(ScanCorvUsb(&r), 1);        // and the table still works
}

TEST(Wait, OneReturnsOneNeverDoesEndsAfterTheTimeout) {
    // Both start as disks; port 1 switches to loader, port 2 is pulled and never returns.
    ScopedSim sim(
        ports({Player(Mode::Msc).switchAt(0.5, Mode::Loader), Player(Mode::Msc).unplugAt(0.5)}));
    SEARCH_RESULT scanned{}, list{};
    ASSERT_EQ(ScanCorvMsc(&scanned), 2);
    ASSERT_EQ(CopySearchResult(&scanned, &list), 1);
    const DEVICE_INFO before = list.devices[0];
    const DEVICE_INFO secondBefore = list.devices[1];

    const std::uint64_t start = sim.sim().tickMs();
    EXPECT_EQ(WaitCVDevice(&list, Loader, 3), 0);
    EXPECT_GE(sim.sim().tickMs() - start, 3000u);

    const DEVICE_INFO& back = list.devices[0];
    EXPECT_EQ(back.status, StatusOk);
    EXPECT_EQ(back.type, Loader);
    EXPECT_STREQ(back.layer, "1");
    EXPECT_STRNE(back.devicePath, before.devicePath);
    EXPECT_NE(back.devInst, before.devInst);
    EXPECT_EQ(back.pid, 0x3201);
    const DEVICE_INFO& gone = list.devices[1];
    EXPECT_EQ(gone.status, StatusFailed);
    EXPECT_STREQ(gone.devicePath, secondBefore.devicePath);  // a missing device keeps its record
    FreeSearchResult(&list);
}

TEST(Wait, AllPresentReturns1EvenWithTimeout0) {
    ScopedSim sim(ports({Player(Mode::Loader), Player(Mode::Loader)}));
    List list({{"2", StatusIdle}, {"1", StatusIdle}});
    EXPECT_EQ(WaitCVDevice(&list.result, Loader, 0), 1);
    EXPECT_EQ(list.items[0].status, StatusOk);
    EXPECT_EQ(list.items[1].status, StatusOk);
    EXPECT_NE(list.items[0].devicePath[0], '\0');
    EXPECT_STRNE(list.items[0].devicePath, list.items[1].devicePath);
    // The wrong kind is not found.
    EXPECT_EQ(WaitCVDevice(&list.result, MaskRom, 0), 0);
    EXPECT_EQ(list.items[0].status, StatusFailed);
}

TEST(Wait, LastsBetweenNAndNPlus1SecondsOfSimulatedTime) {
    ScopedSim sim(ports({nullptr}, 5));
    List list({{"1", StatusIdle}});
    const std::uint64_t start = sim.sim().tickMs();
    EXPECT_EQ(WaitCVDevice(&list.result, Loader, 2), 0);
    const std::uint64_t took = sim.sim().tickMs() - start;
    EXPECT_GE(took, 2000u);
    EXPECT_LT(took, 3000u + 1000u);  // the last poll and its pause, with room for a slow machine
    EXPECT_EQ(list.items[0].status, StatusFailed);
}

TEST(Wait, AnotherKindOnTheSameLayerDoesNotLendItsPath) {
    // Two controllers give Layer 1 twice: a mask-ROM device first, then the loader.
    ScopedSim sim(ScenarioBuilder()
                      .speed(50)
                      .controller({Player(Mode::MaskRom)})
                      .controller({Player(Mode::Loader)}));
    SEARCH_RESULT scanned{};
    ASSERT_EQ(ScanCorvUsb(&scanned), 2);
    const std::string loaderPath = scanned.devices[1].devicePath;
    List list({{"1", StatusIdle}});
    EXPECT_EQ(WaitCVDevice(&list.result, Loader, 0), 1);
    EXPECT_EQ(list.items[0].type, Loader);
    EXPECT_EQ(std::string(list.items[0].devicePath), loaderPath);
}

TEST(Wait, PlayerPluggedLaterIsFound) {
    ScopedSim sim(ports({Player(Mode::Loader).absent().plugAt(1.0)}));
    List list({{"1", StatusIdle}});
    SEARCH_RESULT none{};
    EXPECT_EQ(ScanCorvUsb(&none), 0);
    EXPECT_EQ(WaitCVDevice(&list.result, Loader, 5), 1);
    EXPECT_EQ(list.items[0].status, StatusOk);
}

TEST(Wait, Usb11PlayerOnlyWithTheAllForm) {
    ScopedSim sim(ScenarioBuilder().speed(50).usb11Controller({Player(Mode::Loader)}));
    List list({{"1", StatusIdle}});
    EXPECT_EQ(WaitCVDevice(&list.result, Loader, 0), 0);
    EXPECT_EQ(WaitCVDevice_All(&list.result, Loader, 0), 1);
}

}  // namespace
}  // namespace cv50::device
