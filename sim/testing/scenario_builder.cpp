#include "sim/testing/scenario_builder.h"

namespace cv50::sim::testing {
namespace {

const char* modeName(Mode mode) {
    switch (mode) {
        case Mode::Msc:
            return "msc";
        case Mode::Loader:
            return "loader";
        case Mode::MaskRom:
            return "maskrom";
    }
    return "loader";
}

}  // namespace

Faults& Faults::append(const char* list, Json entry) {
    if (!value_.contains(list)) value_[list] = Json::array();
    value_[list].push_back(std::move(entry));
    return *this;
}

Faults& Faults::readError(Place where) { return append("readErrors", {{where.key, where.number}}); }

Faults& Faults::flipBit(Place where, std::uint32_t byte, unsigned bit) {
    return append("flipBits", {{where.key, where.number}, {"byte", byte}, {"bit", bit}});
}

Faults& Faults::failCommand(const std::string& command, std::uint32_t times) {
    return append("failCommands", {{"command", command}, {"times", times}});
}

Player::Player(Mode mode) { set("mode", modeName(mode)); }

Player& Player::corvUsbIds(std::uint16_t vid, std::uint16_t pid) {
    value_["ids"]["corvUsb"] = {vid, pid};
    return *this;
}

Player& Player::loaderVersion(std::uint16_t high, std::uint16_t low) {
    value_["versions"]["loader"] = {high, low};
    return *this;
}

Player& Player::systemVersion(std::uint16_t high, std::uint16_t low) {
    value_["versions"]["system"] = {high, low};
    return *this;
}

Player& Player::unplugAt(double seconds) { return event(seconds, "unplug", std::nullopt); }

Player& Player::plugAt(double seconds, std::optional<Mode> mode) {
    return event(seconds, "plug", mode);
}

Player& Player::switchAt(double seconds, Mode mode) { return event(seconds, "switch", mode); }

Player& Player::event(double seconds, const char* action, std::optional<Mode> mode) {
    Json e = {{"at", seconds}, {"action", action}};
    if (mode) e["mode"] = modeName(*mode);
    if (!value_.contains("script")) value_["script"] = Json::array();
    value_["script"].push_back(std::move(e));
    return *this;
}

Device::Device(std::uint16_t vid, std::uint16_t pid, std::uint16_t bcdUSB) {
    set("vid", vid);
    set("pid", pid);
    set("bcdUSB", bcdUSB);
}

Json hub(std::vector<Json> ports) { return {{"hub", {{"ports", std::move(ports)}}}}; }

ScenarioBuilder& ScenarioBuilder::removableDrive(char letter, const std::string& target) {
    return drive(letter, "removable", target);
}

ScenarioBuilder& ScenarioBuilder::fixedDrive(char letter, const std::string& target) {
    return drive(letter, "fixed", target);
}

ScenarioBuilder& ScenarioBuilder::drive(char letter, const char* type, const std::string& target) {
    if (!options_.contains("drives")) options_["drives"] = Json::array();
    options_["drives"].push_back(
        {{"letter", std::string(1, letter)}, {"type", type}, {"target", target}});
    return *this;
}

ScenarioBuilder& ScenarioBuilder::controller(std::vector<Json> ports) {
    controllers_.push_back({{"ports", std::move(ports)}});
    return *this;
}

ScenarioBuilder& ScenarioBuilder::usb11Controller(std::vector<Json> ports) {
    controllers_.push_back({{"usb", "1.1"}, {"ports", std::move(ports)}});
    return *this;
}

ScenarioBuilder& ScenarioBuilder::port(Json port) {
    if (controllers_.empty()) controller();
    controllers_.back()["ports"].push_back(std::move(port));
    return *this;
}

ScenarioBuilder& ScenarioBuilder::ports(const std::vector<Json>& ports) {
    for (const Json& p : ports) port(p);
    return *this;
}

ScenarioBuilder& ScenarioBuilder::set(const std::string& key, Json value) {
    options_[key] = std::move(value);
    return *this;
}

Json ScenarioBuilder::json() const {
    Json world = options_;
    world["controllers"] = controllers_;
    return world;
}

void to_json(Json& out, const Player& player) { out = {{"player", player.json()}}; }
void to_json(Json& out, const Device& device) { out = {{"device", device.json()}}; }

}  // namespace cv50::sim::testing
