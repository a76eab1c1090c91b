// The nand, timing and faults keys of a player in a scenario file.
#include "sim/nand_spec.h"

#include <gtest/gtest.h>

#include "sim/scenario.h"

namespace cv50::sim {
namespace {

using nlohmann::json;

TEST(NandSpec, EmptyObjectsGiveASensiblePlayer) {
    const NandSpec n = parseNandSpec(json::object(), "p.nand", "w.json");
    EXPECT_EQ(n.chipMask, 0x01);
    EXPECT_EQ(std::uint64_t{n.chipSectors} * 512, 128u << 20);
    EXPECT_EQ(n.blockSectors, 256);
    EXPECT_EQ(n.pageSectors, 4);
    EXPECT_EQ(n.blocksPerChip(), 1024u);
    const TimingSpec t = parseTimingSpec(json::object(), "p.timing", "w.json");
    EXPECT_EQ(t.busyMs, 0u);
    EXPECT_GT(t.linkBytesPerSecond, 0);
    const FaultSpec f = parseFaultSpec(json::object(), "p.faults", "w.json", n);
    EXPECT_TRUE(f.failCommands.empty());
    EXPECT_EQ(f.powerCutAtStep, 0u);
    EXPECT_EQ(f.neverReturnAtReset, 0u);
}

TEST(NandSpec, EveryKeyIsRead) {
    const NandSpec n = parseNandSpec(json::parse(R"({
        "chipMask": "0x05", "chipSectors": 131072, "blockSectors": 128, "pageSectors": 4,
        "manufacturer": 2, "geometryA": 5, "geometryB": "0x02",
        "chipInfo": "0xAD01", "badBlocks": [7, {"chip": 2, "block": 9}]})"),
                                     "p.nand", "w.json");
    EXPECT_EQ(n.chipMask, 0x05);
    EXPECT_EQ(n.chipCount(), 2u);
    EXPECT_EQ(n.manufacturer, 2);
    EXPECT_EQ(n.geometryB, 2);
    EXPECT_EQ(n.chipInfoBytes()[0], 0xAD);
    EXPECT_EQ(n.chipInfoBytes()[1], 0x01);
    EXPECT_EQ(n.chipInfoBytes()[2], 0x00);
    EXPECT_EQ(n.badBlocks, (std::vector<BlockRef>{{0, 7}, {2, 9}}));

    const TimingSpec t = parseTimingSpec(
        json::parse(R"({"linkBytesPerSecond": 1e6, "pageProgramUs": 900, "busyMs": 3000})"),
        "p.timing", "w.json");
    EXPECT_EQ(t.linkBytesPerSecond, 1e6);
    EXPECT_EQ(t.pageProgramUs, 900u);
    EXPECT_EQ(t.busyMs, 3000u);

    const FaultSpec f = parseFaultSpec(json::parse(R"({
        "eraseFails": [{"chip": 2, "block": 1}], "programFails": [4],
        "readErrors": [100, {"lba": 8}],
        "flipBits": [{"sector": 5, "byte": 527, "bit": 7}, {"lba": 1, "byte": 511, "bit": 0}],
        "failCommands": [{"command": "WriteLBA", "times": 3}, {"command": "ResetDevice", "result": -2}],
        "powerCut": {"atStep": "0x10"}, "neverReturn": {"atReset": 2}})"),
                                       "p.faults", "w.json", n);
    EXPECT_EQ(f.eraseFails, (std::vector<BlockRef>{{2, 1}}));
    EXPECT_EQ(f.readErrors, (std::vector<SectorRef>{{false, 100}, {true, 8}}));
    ASSERT_EQ(f.flipBits.size(), 2u);
    EXPECT_EQ(f.flipBits[0].byte, 527u);
    EXPECT_TRUE(f.flipBits[1].where.logical);
    ASSERT_EQ(f.failCommands.size(), 2u);
    EXPECT_EQ(f.failCommands[0].times, 3u);
    EXPECT_EQ(f.failCommands[0].result, -4);
    EXPECT_EQ(f.failCommands[1].command, cvusb::Opcode::ResetDevice);
    EXPECT_EQ(f.failCommands[1].times, 1u);
    EXPECT_EQ(f.powerCutAtStep, 16u);
    EXPECT_EQ(f.neverReturnAtReset, 2u);
}

TEST(NandSpec, ProblemsNameTheFileAndTheKey) {
    struct Case {
        const char* key;  // "nand", "timing" or "faults"
        const char* text;
        const char* message;
    } cases[] = {
        {"nand", R"({"pageSize": 4})", "w.json: p.nand: unknown key \"pageSize\""},
        {"nand", R"({"pageSectors": 0})", "w.json: p.nand.pageSectors: must be at least 1"},
        {"nand", R"({"blockSectors": 250})",
         "w.json: p.nand.blockSectors: must be a non-zero multiple of pageSectors"},
        {"nand", R"({"chipSectors": 1000})",
         "w.json: p.nand.chipSectors: must be a non-zero multiple of blockSectors"},
        {"nand", R"({"chipMask": 256})", "w.json: p.nand.chipMask: value does not fit 8 bits"},
        {"nand", R"({"badBlocks": [1024]})",
         "w.json: p.nand.badBlocks[0]: block 1024 is beyond the chip's 1024 blocks"},
        {"nand", R"({"badBlocks": [{"chip": 1, "block": 0}]})",
         "w.json: p.nand.badBlocks[0]: chip 1 is not present (chipMask)"},
        {"nand", R"({"chipInfo": "0x123"})",
         "w.json: p.nand.chipInfo: expected up to 16 bytes as an even number of hexadecimal "
         "digits"},
        {"timing", R"({"busyMs": -1})",
         "w.json: p.timing.busyMs: expected a number or a \"0x...\" string"},
        {"timing", R"({"linkBytesPerSecond": 0})",
         "w.json: p.timing.linkBytesPerSecond: expected a number from 1000 to 1e12"},
        {"faults", R"({"readErrors": [{"sector": 1, "lba": 2}]})",
         "w.json: p.faults.readErrors[0]: expected one of \"sector\" and \"lba\""},
        {"faults", R"({"readErrors": [{"lba": 262144}]})",
         "w.json: p.faults.readErrors[0]: logical sector 262144 is beyond the flash"},
        {"faults", R"({"flipBits": [{"lba": 1, "byte": 512, "bit": 0}]})",
         "w.json: p.faults.flipBits[0].byte: expected a number from 0 to 511"},
        {"faults", R"({"flipBits": [{"sector": 1, "bit": 0}]})",
         "w.json: p.faults.flipBits[0]: missing \"byte\" or \"bit\""},
        {"faults", R"({"failCommands": [{"command": "Format"}]})",
         "w.json: p.faults.failCommands[0].command: unknown command \"Format\""},
        {"faults", R"({"failCommands": [{"command": "ReadLBA", "result": 0}]})",
         "w.json: p.faults.failCommands[0].result: a failure cannot have result 0"},
        {"faults", R"([])", "w.json: p.faults: expected an object"},
        {"faults", R"({"powerCut": 5})", "w.json: p.faults.powerCut: expected an object"},
        {"faults", R"({"powerCut": {"step": 5}})",
         "w.json: p.faults.powerCut: unknown key \"step\""},
        {"faults", R"({"powerCut": {}})", "w.json: p.faults.powerCut: missing \"atStep\""},
        {"faults", R"({"powerCut": {"atStep": 0}})",
         "w.json: p.faults.powerCut.atStep: steps count from 1"},
        {"faults", R"({"neverReturn": true})", "w.json: p.faults.neverReturn: expected an object"},
        {"faults", R"({"neverReturn": {"atStep": 1}})",
         "w.json: p.faults.neverReturn: unknown key \"atStep\""},
        {"faults", R"({"neverReturn": {}})", "w.json: p.faults.neverReturn: missing \"atReset\""},
        {"faults", R"({"neverReturn": {"atReset": 0}})",
         "w.json: p.faults.neverReturn.atReset: resets count from 1"},
        {"faults", R"({"neverReturn": {"atReset": -1}})",
         "w.json: p.faults.neverReturn.atReset: expected a number or a \"0x...\" string"},
    };
    for (const Case& k : cases) {
        const json v = json::parse(k.text);
        const std::string where = std::string("p.") + k.key;
        try {
            if (std::string(k.key) == "nand") (void)parseNandSpec(v, where, "w.json");
            else if (std::string(k.key) == "timing") (void)parseTimingSpec(v, where, "w.json");
            else (void)parseFaultSpec(v, where, "w.json", NandSpec{});
            ADD_FAILURE() << "accepted " << k.text;
        } catch (const ScenarioError& e) {
            EXPECT_EQ(std::string(e.what()), k.message) << k.text;
        }
    }
}

}  // namespace
}  // namespace cv50::sim
