// Tests: simulated worlds built in code. Each builder writes only the keys a test sets, so
// the scenario reader's defaults (sim/scenario.h, sim/nand_spec.h) hold for the rest, and
// ScenarioBuilder::text() is the file a user would write:
//
//   ScopedSim world(ScenarioBuilder().speed(50).ports(
//       {nullptr, Player(Mode::MaskRom).enumerateDelay(0.5), hub({Player(Mode::Msc)})}));
//
// A port is a Player, a Device, a hub(...) or nullptr (empty); set(key, value) adds a key the
// typed setters leave out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/scenario.h"

namespace cv50::sim::testing {

using Json = nlohmann::json;
using Mode = PlayerMode;

// The JSON object a builder fills, and the setter for keys without a typed one.
template <typename Self>
class ObjectBuilder {
public:
    Self& set(const std::string& key, Json value) {
        value_[key] = std::move(value);
        return static_cast<Self&>(*this);
    }
    const Json& json() const { return value_; }

protected:
    Json value_ = Json::object();
};

// A player's flash; "chipSectors" and the like count 512-byte sectors.
class Nand : public ObjectBuilder<Nand> {
public:
    Nand& chipSectors(std::uint32_t n) { return set("chipSectors", n); }
    Nand& blockSectors(std::uint32_t n) { return set("blockSectors", n); }
    Nand& pageSectors(std::uint32_t n) { return set("pageSectors", n); }
    Nand& chipMask(std::uint8_t mask) { return set("chipMask", mask); }
    Nand& manufacturer(std::uint8_t code) { return set("manufacturer", code); }
};

class Timing : public ObjectBuilder<Timing> {
public:
    // After power-on the loader answers unit-ready "busy" this long.
    Timing& busyMs(std::uint32_t ms) { return set("busyMs", ms); }
    // The bulk payload rate of the player's link.
    Timing& linkBytesPerSecond(double rate) { return set("linkBytesPerSecond", rate); }
};

// A sector that faults name: a raw one (528 bytes) or one of the logical disk (512 bytes).
struct Place {
    static Place sector(std::uint32_t n) { return {"sector", n}; }
    static Place lba(std::uint32_t n) { return {"lba", n}; }
    const char* key;
    std::uint32_t number;
};

// Scripted faults of a player; blocks are blocks of chip 0.
class Faults : public ObjectBuilder<Faults> {
public:
    Faults& eraseFails(const std::vector<std::uint32_t>& blocks) {
        return set("eraseFails", blocks);
    }
    Faults& programFails(const std::vector<std::uint32_t>& blocks) {
        return set("programFails", blocks);
    }
    Faults& readError(Place where);
    Faults& flipBit(Place where, std::uint32_t byte, unsigned bit);
    // `command` (as the wire names it: "WriteLBA") fails `times` times, then works.
    Faults& failCommand(const std::string& command, std::uint32_t times);
    // Power fails during the `step`-th sector program or block erase (from 1).
    Faults& powerCutAt(std::uint32_t step) { return set("powerCut", {{"atStep", step}}); }
    // At its `reset`-th reset (from 1) the player leaves the bus for good.
    Faults& neverReturnAt(std::uint32_t reset) { return set("neverReturn", {{"atReset", reset}}); }
    // From its `command`-th command on (from 1) the loader stays on the bus and answers nothing.
    Faults& noAnswerFrom(std::uint32_t command) {
        return set("noAnswer", {{"fromCommand", command}});
    }

private:
    Faults& append(const char* list, Json entry);
};

// {"player": {...}}. Player() leaves the mode to the reader's default (a loader).
class Player : public ObjectBuilder<Player> {
public:
    Player() = default;
    explicit Player(Mode mode);
    // Comes up in the mode its flash (kept in the world's state folder) brings it up in.
    static Player atPowerOn() { return Player().set("mode", "poweron"); }

    // Unplugged at the start.
    Player& absent() { return set("present", false); }
    Player& enumerateDelay(double seconds) { return set("enumerateDelay", seconds); }
    Player& mountDelay(double seconds) { return set("mountDelay", seconds); }
    // Its volume never mounts.
    Player& neverMounts() { return set("mountDelay", nullptr); }
    Player& diskId(const std::string& instanceId) { return set("diskId", instanceId); }
    Player& friendlyName(const std::string& name) { return set("friendlyName", name); }
    Player& corvUsbIds(std::uint16_t vid, std::uint16_t pid);
    Player& loaderVersion(std::uint16_t high, std::uint16_t low);
    Player& systemVersion(std::uint16_t high, std::uint16_t low);
    // How many eject requests it refuses; -1: all.
    Player& ejectVetoes(int count) { return set("ejectVetoes", count); }
    // Its volume is reported as a fixed drive.
    Player& fixedDrive() { return set("driveType", "fixed"); }
    Player& nand(const Nand& nand) { return set("nand", nand.json()); }
    Player& timing(const Timing& timing) { return set("timing", timing.json()); }
    Player& faults(const Faults& faults) { return set("faults", faults.json()); }

    // The script: changes at `seconds` of simulated time after the start.
    Player& unplugAt(double seconds);
    // Plugged in again, in `mode` when given.
    Player& plugAt(double seconds, std::optional<Mode> mode = std::nullopt);
    Player& switchAt(double seconds, Mode mode);

private:
    Player& event(double seconds, const char* action, std::optional<Mode> mode);
};

// {"device": {...}}: any other USB device.
class Device : public ObjectBuilder<Device> {
public:
    Device(std::uint16_t vid, std::uint16_t pid, std::uint16_t bcdUSB);
    // Not listed by the system.
    Device& unconfigured() { return set("configured", false); }
    // Listed without a device node, so with an empty path.
    Device& withoutNode() { return set("node", false); }
};

// {"hub": {"ports": [...]}}. Lists of ports are taken by functions, never by a class's
// constructor: a lone element in braces would go to its copy constructor instead
// (Json converts to any class), so hub({hub({...})}) would lose a tier.
Json hub(std::vector<Json> ports);

class ScenarioBuilder {
public:
    // Simulated time runs this many times faster than the wall clock.
    ScenarioBuilder& speed(double factor) { return set("speed", factor); }
    // The local time at the start, "2026-03-07T09:00:00.000".
    ScenarioBuilder& time(const std::string& localTime) { return set("time", localTime); }
    // The Windows version reported: "5.1", "6.0", "6.1" or "10.0".
    ScenarioBuilder& windows(const std::string& version) { return set("windows", version); }
    // The players' flash and disks are kept in this host folder between worlds.
    ScenarioBuilder& state(const std::string& folder) { return set("state", folder); }
    // Without the system's format library.
    ScenarioBuilder& withoutFormatLibrary() { return set("formatLibrary", false); }
    // A volume of no player, on `target` ("\\Device\\HarddiskVolume9").
    ScenarioBuilder& removableDrive(char letter, const std::string& target);
    ScenarioBuilder& fixedDrive(char letter, const std::string& target);

    // A USB 2.0 host controller with `ports` on its root hub.
    ScenarioBuilder& controller(std::vector<Json> ports = {});
    // A USB 1.1 one, whose root hub only the walk over all controllers reaches.
    ScenarioBuilder& usb11Controller(std::vector<Json> ports = {});
    // More ports of the last controller, a USB 2.0 one made for the first port.
    ScenarioBuilder& port(Json port);
    ScenarioBuilder& ports(const std::vector<Json>& ports);

    ScenarioBuilder& set(const std::string& key, Json value);
    Json json() const;
    // The scenario file's text.
    std::string text() const { return json().dump(); }

private:
    ScenarioBuilder& drive(char letter, const char* type, const std::string& target);

    Json options_ = Json::object();
    Json controllers_ = Json::array();
};

// What makes a builder a port (nlohmann's conversion hook, found by argument lookup).
void to_json(Json& out, const Player& player);
void to_json(Json& out, const Device& device);

}  // namespace cv50::sim::testing
