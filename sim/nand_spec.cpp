// Reading and checking the NAND, timing and fault keys of a player.
#include "sim/nand_spec.h"

#include <bit>

#include "base/byte_order.h"
#include "sim/scenario_reader.h"

namespace cv50::sim {
namespace {

using nlohmann::json;

std::string at(const std::string& where, const char* key) { return where + "." + key; }
std::string at(const std::string& where, std::size_t i) {
    return where + "[" + std::to_string(i) + "]";
}

BlockRef blockRef(const ScenarioReader& r, const json& v, const std::string& where,
                  const NandSpec& nand) {
    BlockRef b;
    if (v.is_object()) {
        r.checkKeys(v, where, {"chip", "block"});
        if (!v.contains("block")) r.fail(where, "missing \"block\"");
        if (v.contains("chip"))
            b.chip = static_cast<std::uint8_t>(r.integer(v["chip"], at(where, "chip"), 0, 7));
        b.block = r.u32(v["block"], at(where, "block"));
    } else {
        b.block = r.u32(v, where);
    }
    if (!nand.chipPresent(b.chip))
        r.fail(where, "chip " + std::to_string(b.chip) + " is not present (chipMask)");
    if (b.block >= nand.blocksPerChip())
        r.fail(where, "block " + std::to_string(b.block) + " is beyond the chip's " +
                          std::to_string(nand.blocksPerChip()) + " blocks");
    return b;
}

std::vector<BlockRef> blockList(const ScenarioReader& r, const json& v, const std::string& where,
                                const NandSpec& nand) {
    std::vector<BlockRef> out;
    const json& list = r.array(v, where);
    for (std::size_t i = 0; i < list.size(); ++i)
        out.push_back(blockRef(r, list[i], at(where, i), nand));
    return out;
}

std::uint64_t rawSectorCount(const NandSpec& nand) {
    // Physical sectors run over chips 0-7 by number, so the highest present chip ends them.
    const int highest = 7 - std::countl_zero(nand.chipMask);
    return highest < 0 ? 0 : std::uint64_t{nand.chipSectors} * static_cast<unsigned>(highest + 1);
}

// A sector of the keys {"sector": S} / {"lba": L} or a plain number, among `extra` keys.
SectorRef sectorRef(const ScenarioReader& r, const json& v, const std::string& where,
                    const NandSpec& nand, std::initializer_list<const char*> keys) {
    SectorRef s;
    if (v.is_object()) {
        r.checkKeys(v, where, keys);
        const bool raw = v.contains("sector"), lba = v.contains("lba");
        if (raw == lba) r.fail(where, "expected one of \"sector\" and \"lba\"");
        s.logical = lba;
        s.sector = r.u32(v[lba ? "lba" : "sector"], at(where, lba ? "lba" : "sector"));
    } else {
        s.sector = r.u32(v, where);
    }
    const std::uint64_t limit =
        s.logical ? std::uint64_t{nand.chipSectors} * nand.chipCount() : rawSectorCount(nand);
    if (s.sector >= limit)
        r.fail(where, std::string(s.logical ? "logical" : "raw") + " sector " +
                          std::to_string(s.sector) + " is beyond the flash");
    if (!s.logical && !nand.chipPresent(s.sector / nand.chipSectors))
        r.fail(where, "raw sector " + std::to_string(s.sector) + " is on a chip not present");
    return s;
}

std::array<std::uint8_t, 16> hexBytes16(const ScenarioReader& r, const json& v,
                                        const std::string& where) {
    std::string s = r.string(v, where);
    if (s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0) s = s.substr(2);
    if (s.empty() || s.size() > 32 || s.size() % 2 != 0)
        r.fail(where, "expected up to 16 bytes as an even number of hexadecimal digits");
    std::array<std::uint8_t, 16> out{};
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        const int d = (c >= '0' && c <= '9')   ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
        if (d < 0) r.fail(where, "\"" + s + "\" is not hexadecimal");
        out[i / 2] = static_cast<std::uint8_t>(out[i / 2] << 4 | d);
    }
    return out;
}

// The object {KEY: N} of a fault that strikes once, at the N-th of its `events`.
std::uint32_t countFromOne(const ScenarioReader& r, const json& v, const std::string& where,
                           const char* key, const std::string& events) {
    r.object(v, where);
    r.checkKeys(v, where, {key});
    if (!v.contains(key)) r.fail(where, std::string("missing \"") + key + "\"");
    const std::uint32_t n = r.u32(v[key], at(where, key));
    if (n == 0) r.fail(at(where, key), events + " count from 1");
    return n;
}

}  // namespace

unsigned NandSpec::chipCount() const { return static_cast<unsigned>(std::popcount(chipMask)); }

std::array<std::uint8_t, 16> NandSpec::chipInfoBytes() const {
    if (chipInfo) return *chipInfo;
    // Maker id as the chip's ID read gives it, then the geometry the loader found.
    static constexpr std::uint8_t kMakerIds[] = {0xEC, 0x98, 0xAD, 0xC1, 0x2C, 0x07, 0x20, 0x89};
    std::array<std::uint8_t, 16> b{};
    b[0] = manufacturer < 8 ? kMakerIds[manufacturer] : 0;
    b[1] = static_cast<std::uint8_t>(std::bit_width(chipSectors >> 11));
    b[2] = pageSectors;
    base::storeLe16(b, 3, blockSectors);
    b[5] = chipMask;
    return b;
}

NandSpec parseNandSpec(const json& v, const std::string& where, const std::string& source) {
    const ScenarioReader r(source);
    r.object(v, where);
    r.checkKeys(v, where,
                {"chipMask", "chipSectors", "blockSectors", "pageSectors", "manufacturer",
                 "geometryA", "geometryB", "chipInfo", "badBlocks"});
    NandSpec n;
    if (v.contains("chipMask")) n.chipMask = r.u8(v["chipMask"], at(where, "chipMask"));
    if (v.contains("chipSectors"))
        n.chipSectors = r.u32(v["chipSectors"], at(where, "chipSectors"));
    if (v.contains("blockSectors"))
        n.blockSectors = r.u16(v["blockSectors"], at(where, "blockSectors"));
    if (v.contains("pageSectors")) n.pageSectors = r.u8(v["pageSectors"], at(where, "pageSectors"));
    if (v.contains("manufacturer"))
        n.manufacturer = r.u8(v["manufacturer"], at(where, "manufacturer"));
    if (v.contains("geometryA")) n.geometryA = r.u8(v["geometryA"], at(where, "geometryA"));
    if (v.contains("geometryB")) n.geometryB = r.u8(v["geometryB"], at(where, "geometryB"));
    if (v.contains("chipInfo")) n.chipInfo = hexBytes16(r, v["chipInfo"], at(where, "chipInfo"));
    if (n.pageSectors == 0) r.fail(at(where, "pageSectors"), "must be at least 1");
    if (n.blockSectors == 0 || n.blockSectors % n.pageSectors != 0)
        r.fail(at(where, "blockSectors"), "must be a non-zero multiple of pageSectors");
    if (n.chipSectors < n.blockSectors || n.chipSectors % n.blockSectors != 0)
        r.fail(at(where, "chipSectors"), "must be a non-zero multiple of blockSectors");
    if (v.contains("badBlocks"))
        n.badBlocks = blockList(r, v["badBlocks"], at(where, "badBlocks"), n);
    return n;
}

TimingSpec parseTimingSpec(const json& v, const std::string& where, const std::string& source) {
    const ScenarioReader r(source);
    r.object(v, where);
    r.checkKeys(v, where,
                {"linkBytesPerSecond", "commandUs", "pageReadUs", "pageProgramUs", "blockEraseUs",
                 "busyMs"});
    TimingSpec t;
    if (v.contains("linkBytesPerSecond")) {
        const json& s = v["linkBytesPerSecond"];
        if (!s.is_number() || s.get<double>() < 1000 || s.get<double>() > 1e12)
            r.fail(at(where, "linkBytesPerSecond"), "expected a number from 1000 to 1e12");
        t.linkBytesPerSecond = s.get<double>();
    }
    if (v.contains("commandUs")) t.commandUs = r.u32(v["commandUs"], at(where, "commandUs"));
    if (v.contains("pageReadUs")) t.pageReadUs = r.u32(v["pageReadUs"], at(where, "pageReadUs"));
    if (v.contains("pageProgramUs"))
        t.pageProgramUs = r.u32(v["pageProgramUs"], at(where, "pageProgramUs"));
    if (v.contains("blockEraseUs"))
        t.blockEraseUs = r.u32(v["blockEraseUs"], at(where, "blockEraseUs"));
    if (v.contains("busyMs")) t.busyMs = r.u32(v["busyMs"], at(where, "busyMs"));
    return t;
}

FaultSpec parseFaultSpec(const json& v, const std::string& where, const std::string& source,
                         const NandSpec& nand) {
    const ScenarioReader r(source);
    r.object(v, where);
    r.checkKeys(v, where,
                {"eraseFails", "programFails", "readErrors", "flipBits", "failCommands", "powerCut",
                 "neverReturn", "noAnswer"});
    FaultSpec f;
    if (v.contains("eraseFails"))
        f.eraseFails = blockList(r, v["eraseFails"], at(where, "eraseFails"), nand);
    if (v.contains("programFails"))
        f.programFails = blockList(r, v["programFails"], at(where, "programFails"), nand);
    if (v.contains("readErrors")) {
        const std::string w = at(where, "readErrors");
        const json& list = r.array(v["readErrors"], w);
        for (std::size_t i = 0; i < list.size(); ++i)
            f.readErrors.push_back(sectorRef(r, list[i], at(w, i), nand, {"sector", "lba"}));
    }
    if (v.contains("flipBits")) {
        const std::string w = at(where, "flipBits");
        const json& list = r.array(v["flipBits"], w);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string wi = at(w, i);
            r.object(list[i], wi);
            BitFlip flip;
            flip.where = sectorRef(r, list[i], wi, nand, {"sector", "lba", "byte", "bit"});
            const std::size_t size =
                flip.where.logical ? cvusb::kSectorSize : cvusb::kRawSectorSize;
            if (!list[i].contains("byte") || !list[i].contains("bit"))
                r.fail(wi, "missing \"byte\" or \"bit\"");
            flip.byte = static_cast<std::uint32_t>(
                r.integer(list[i]["byte"], at(wi, "byte"), 0, static_cast<std::int64_t>(size) - 1));
            flip.bit = static_cast<std::uint8_t>(r.integer(list[i]["bit"], at(wi, "bit"), 0, 7));
            f.flipBits.push_back(flip);
        }
    }
    if (v.contains("failCommands")) {
        const std::string w = at(where, "failCommands");
        const json& list = r.array(v["failCommands"], w);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string wi = at(w, i);
            r.object(list[i], wi);
            r.checkKeys(list[i], wi, {"command", "times", "result"});
            if (!list[i].contains("command")) r.fail(wi, "missing \"command\"");
            const std::string name = r.string(list[i]["command"], at(wi, "command"));
            const auto op = cvusb::opcodeFromName(name);
            if (!op) r.fail(at(wi, "command"), "unknown command \"" + name + "\"");
            CommandFault c;
            c.command = *op;
            if (list[i].contains("times")) c.times = r.u32(list[i]["times"], at(wi, "times"));
            if (list[i].contains("result")) {
                c.result = static_cast<std::int32_t>(
                    r.integer(list[i]["result"], at(wi, "result"), INT32_MIN, INT32_MAX));
                if (c.result == 0) r.fail(at(wi, "result"), "a failure cannot have result 0");
            }
            f.failCommands.push_back(c);
        }
    }
    if (v.contains("powerCut"))
        f.powerCutAtStep = countFromOne(r, v["powerCut"], at(where, "powerCut"), "atStep", "steps");
    if (v.contains("neverReturn"))
        f.neverReturnAtReset =
            countFromOne(r, v["neverReturn"], at(where, "neverReturn"), "atReset", "resets");
    if (v.contains("noAnswer"))
        f.noAnswerFromCommand =
            countFromOne(r, v["noAnswer"], at(where, "noAnswer"), "fromCommand", "commands");
    return f;
}

}  // namespace cv50::sim
