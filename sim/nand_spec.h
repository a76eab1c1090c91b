// What a simulated player's loader works on: its NAND, its timing and its scripted faults,
// and how a scenario file describes them. Every key is optional; the defaults give one
// 128 MiB chip with 128 KiB blocks and 2 KiB pages, answering at USB 2.0 speed.
//
//   "nand": {
//     "chipMask": "0x01",         chip-select mask, bit i = chip i present
//     "chipSectors": 262144,      size of one chip in 512-byte sectors
//     "blockSectors": 256,        block size in sectors
//     "pageSectors": 4,           page size in sectors
//     "manufacturer": 0,          manufacturer code (0 SAMSUNG ... 7 INTEL)
//     "geometryA": 3,             row-address cycles, reported as the geometry byte A
//     "geometryB": 1,             bits per cell, reported as the geometry byte B
//     "chipInfo": "0xEC...",      the 16 chip-information bytes (up to 32 hex digits)
//     "badBlocks": [BLOCK, ...]   factory bad blocks
//   }
//   "timing": {
//     "linkBytesPerSecond": 53248000,  bulk payload rate of the link
//     "commandUs": 125,           fixed cost of one command (command and status)
//     "pageReadUs": 25, "pageProgramUs": 300, "blockEraseUs": 2000,
//     "busyMs": 0                 after power-on the loader answers unit-ready "busy" this long
//   }
//   "faults": {
//     "eraseFails": [BLOCK, ...],     erasing these fails (the block then counts as bad)
//     "programFails": [BLOCK, ...],   programming these fails (likewise)
//     "readErrors": [PLACE, ...],     reading these sectors fails
//     "flipBits": [{PLACE, "byte": B, "bit": K}, ...]   a bit reads inverted
//     "failCommands": [{"command": "WriteLBA", "times": N, "result": -4}, ...]
//                                     the command fails N times (default 1), then works
//     "powerCut": {"atStep": N}       power fails during the N-th flash step (sector program
//                                     or block erase, counted from 1), once
//     "neverReturn": {"atReset": N}   at the N-th reset the player sees (counted from 1 since
//                                     the simulator started) it leaves the bus for good
//     "noAnswer": {"fromCommand": N}  the loader takes its N-th command (counted from 1 since
//                                     the simulator started) and every later one, and answers
//                                     none: it stays on the bus, each transfer runs out of time
//   }
//
// BLOCK is a block number of chip 0 or {"chip": C, "block": B}. PLACE is a raw sector number
// (its 528 bytes as CVU_ReadSector returns them) or {"sector": S} or {"lba": L} (a sector
// of the logical disk, 512 bytes). "result" defaults to -4. Numbers may be "0x..." strings.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cvusbcomm/wire.h"

namespace cv50::sim {

struct BlockRef {
    std::uint8_t chip = 0;
    std::uint32_t block = 0;
    auto operator<=>(const BlockRef&) const = default;
};

struct NandSpec {
    std::uint8_t chipMask = 0x01;
    std::uint32_t chipSectors = 262144;
    std::uint16_t blockSectors = 256;
    std::uint8_t pageSectors = 4;
    std::uint8_t manufacturer = 0;
    std::uint8_t geometryA = 3;
    std::uint8_t geometryB = 1;
    std::optional<std::array<std::uint8_t, 16>> chipInfo;  // derived from the rest when absent
    std::vector<BlockRef> badBlocks;

    std::uint32_t blocksPerChip() const { return chipSectors / blockSectors; }
    bool chipPresent(unsigned chip) const { return chip < 8 && (chipMask >> chip) & 1; }
    unsigned chipCount() const;
    // The chip information the loader reports.
    std::array<std::uint8_t, 16> chipInfoBytes() const;
};

struct TimingSpec {
    double linkBytesPerSecond = 53'248'000.0;  // 13 packets of 512 bytes per 125 us microframe
    std::uint32_t commandUs = 125;
    std::uint32_t pageReadUs = 25;
    std::uint32_t pageProgramUs = 300;
    std::uint32_t blockEraseUs = 2000;
    std::uint32_t busyMs = 0;
};

// A sector the faults refer to: raw (528 bytes) or logical (512 bytes).
struct SectorRef {
    bool logical = false;
    std::uint32_t sector = 0;
    auto operator<=>(const SectorRef&) const = default;
};

struct BitFlip {
    SectorRef where;
    std::uint32_t byte = 0;
    std::uint8_t bit = 0;
};

struct CommandFault {
    cvusb::Opcode command = cvusb::Opcode::TestUnitReady;
    std::uint32_t times = 1;
    std::int32_t result = -4;
};

struct FaultSpec {
    std::vector<BlockRef> eraseFails;
    std::vector<BlockRef> programFails;
    std::vector<SectorRef> readErrors;
    std::vector<BitFlip> flipBits;
    std::vector<CommandFault> failCommands;
    std::uint32_t powerCutAtStep = 0;  // 0: power never fails
    std::uint32_t neverReturnAtReset = 0;  // 0: the player comes back after every reset
    std::uint32_t noAnswerFromCommand = 0;  // 0: the loader answers every command
};

// Each reads the object at `where` ("controllers[0].ports[1].player.nand") of the scenario
// file `source` and checks it; throws ScenarioError naming the file and the key.
NandSpec parseNandSpec(const nlohmann::json& v, const std::string& where,
                       const std::string& source);
TimingSpec parseTimingSpec(const nlohmann::json& v, const std::string& where,
                           const std::string& source);
// Faults are checked against the player's NAND (blocks and sectors must exist).
FaultSpec parseFaultSpec(const nlohmann::json& v, const std::string& where,
                         const std::string& source, const NandSpec& nand);

}  // namespace cv50::sim
