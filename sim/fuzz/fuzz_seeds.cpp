// Writes the small valid inputs the fuzz targets start from: `fuzz_seeds DIR` makes
// DIR/fuzz_loader_wire (command sequences a host sends, and mask-ROM downloads) and
// DIR/fuzz_scenario (scenario files using every key), with the encoders the real code uses.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cvusbcomm/wire.h"
#include "sim/mask_rom.h"
#include "sim/scenario.h"

using namespace cv50;

namespace {

using Bytes = std::vector<std::uint8_t>;
using cvusb::Opcode;

// One record of the loader-wire target: kind, 16-bit length, bytes.
void record(Bytes& out, std::uint8_t kind, const Bytes& bytes, std::size_t length) {
    out.push_back(kind);
    out.push_back(static_cast<std::uint8_t>(length));
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// A command with its out-phase in one write, then a read of its in-phase and status.
void command(Bytes& out, Opcode op, std::array<std::uint32_t, 4> params, std::uint8_t fill = 0x5A) {
    cvusb::Command c;
    c.opcode = op;
    c.tag = static_cast<std::uint32_t>(out.size());
    c.params = params;
    c.dataLength = *cvusb::expectedDataLength(op, params);
    const auto block = cvusb::encodeCommand(c);
    Bytes write(block.begin(), block.end());
    const bool outPhase = cvusb::dataDirection(op) == cvusb::Direction::Out;
    if (outPhase) write.resize(write.size() + c.dataLength, fill);
    record(out, 0, write, write.size());
    record(out, 2, {}, (outPhase ? 0 : c.dataLength) + cvusb::kStatusSize);
}

// A boot program for the mask ROM, checksum last, in full packets and a short one.
void romFile(Bytes& out, std::uint8_t kind, std::size_t size) {
    Bytes file(size, 0x3C);
    const std::uint16_t crc = sim::romCrc16(file);
    file.push_back(static_cast<std::uint8_t>(crc >> 8));
    file.push_back(static_cast<std::uint8_t>(crc));
    for (std::size_t at = 0;; at += sim::MaskRom::kPacket) {
        const std::size_t n = std::min(sim::MaskRom::kPacket, file.size() - at);
        record(out, kind, Bytes(file.begin() + at, file.begin() + at + n), n);
        if (n < sim::MaskRom::kPacket) break;
    }
}

void save(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
void save(const std::filesystem::path& path, const Bytes& bytes) {
    save(path, std::string(bytes.begin(), bytes.end()));
}

constexpr const char* kFullScenario = R"({
  "speed": 50, "windows": "6.1", "time": "2026-12-31T23:59:59.999", "state": "",
  "formatLibrary": false, "corvUsbDriver": {"installed": false, "install": "restart"},
  "drives": [{"letter": "E", "type": "fixed", "target": "\\Device\\X"}],
  "controllers": [{"usb": "1.1", "bytesPerSecond": 1e6, "ports": [
    {"hub": {"bytesPerSecond": 5000, "ports": [null, {"device": {"vid": 1, "pid": "0x02",
      "bcdUSB": 512, "configured": false, "node": false}}]}},
    {"player": {"mode": "maskrom", "present": true, "enumerateDelay": 0.5, "mountDelay": null,
      "diskId": "USBSTOR\\DISK", "friendlyName": "Player", "ejectVetoes": -1,
      "driveType": "fixed", "ids": {"corvUsb": ["0x071b", 12801], "corvMsc": [1, 2]},
      "versions": {"loader": [1, 2], "system": ["0x3", 4]},
      "nand": {"chipMask": "0x03", "chipSectors": 4096, "blockSectors": 256, "pageSectors": 4,
        "manufacturer": 2, "geometryA": 3, "geometryB": 1,
        "chipInfo": "0xEC0102030405060708090A0B0C0D0E0F",
        "badBlocks": [3, {"chip": 1, "block": 2}]},
      "timing": {"linkBytesPerSecond": 1e6, "commandUs": 1, "pageReadUs": 2, "pageProgramUs": 3,
        "blockEraseUs": 4, "busyMs": 5},
      "faults": {"eraseFails": [4], "programFails": [{"chip": 1, "block": 1}],
        "readErrors": [7, {"sector": 8}, {"lba": 9}],
        "flipBits": [{"sector": 10, "byte": 527, "bit": 7}, {"lba": 3, "byte": 0, "bit": 0}],
        "failCommands": [{"command": "WriteLBA", "times": 2, "result": -9}],
        "powerCut": {"atStep": 40}, "neverReturn": {"atReset": 2}},
      "script": [{"at": 1, "action": "unplug"}, {"at": 2.5, "action": "plug", "mode": "msc"},
                 {"at": 3, "action": "switch", "mode": "loader"}]}}]}]
})";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir / "fuzz_loader_wire");
    std::filesystem::create_directories(dir / "fuzz_scenario");

    Bytes info;
    command(info, Opcode::TestUnitReady, {});
    command(info, Opcode::ReadFlashInfo, {});
    command(info, Opcode::ReadChipInfo, {});
    command(info, Opcode::TestBadBlock, {0, 0, 16, 0});
    save(dir / "fuzz_loader_wire" / "info.bin", info);

    Bytes raw;
    command(raw, Opcode::EraseBlock, {0, 2, 4, 6});
    command(raw, Opcode::WriteSector, {512, 2, 1, 0});
    command(raw, Opcode::ReadSector, {512, 2, 1, 0});
    command(raw, Opcode::EraseBlock, {2, 0, 3, 11});
    save(dir / "fuzz_loader_wire" / "raw.bin", raw);

    Bytes lba;
    command(lba, Opcode::WriteLBA, {0, 2, 0, 0});
    command(lba, Opcode::ReadLBA, {0, 2, 0, 0});
    command(lba, Opcode::EraseSystemDisk, {});
    command(lba, Opcode::ReadLBA, {2040, 8, 0, 0});
    save(dir / "fuzz_loader_wire" / "lba.bin", lba);

    Bytes reset;
    command(reset, Opcode::SetResetFlag, {});
    command(reset, Opcode::ResetDevice, {});
    command(reset, Opcode::TestUnitReady, {});
    save(dir / "fuzz_loader_wire" / "reset.bin", reset);

    Bytes rom;
    romFile(rom, 3, 100);
    romFile(rom, 0x13, 5000);
    romFile(rom, 0x13, 4094);
    save(dir / "fuzz_loader_wire" / "mask_rom.bin", rom);

    save(dir / "fuzz_scenario" / "sample.json", std::string(sim::sampleScenarioText()));
    save(dir / "fuzz_scenario" / "full.json", std::string(kFullScenario));
    save(dir / "fuzz_scenario" / "small.json",
         std::string(R"({"controllers": [{"ports": [{"player": {}}]}]})"));
    return 0;
}
