// Reading scenario files. Users write these by hand, so every problem is reported
// with the file and the place inside it.
#include "sim/scenario.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "sim/scenario_reader.h"

namespace cv50::sim {
namespace {

using nlohmann::json;

// Where in the file a value sits, for messages: controllers[0].ports[2].device.vid
class Reader : public ScenarioReader {
public:
    using ScenarioReader::ScenarioReader;

    DeviceSpec device(const json& v, const std::string& where) const {
        object(v, where);
        checkKeys(v, where, {"vid", "pid", "bcdUSB", "configured", "node"});
        DeviceSpec d;
        for (const char* key : {"vid", "pid", "bcdUSB"})
            if (!v.contains(key)) fail(where, std::string("missing \"") + key + "\"");
        d.vid = u16(v["vid"], where + ".vid");
        d.pid = u16(v["pid"], where + ".pid");
        d.bcdUSB = u16(v["bcdUSB"], where + ".bcdUSB");
        if (v.contains("configured")) d.configured = boolean(v["configured"], where + ".configured");
        if (v.contains("node")) d.hasNode = boolean(v["node"], where + ".node");
        return d;
    }

    double seconds(const json& v, const std::string& where) const {
        if (!v.is_number() || v.get<double>() < 0 || v.get<double>() > 1e6)
            fail(where, "expected a number of seconds from 0 to 1000000");
        return v.get<double>();
    }

    PlayerMode mode(const json& v, const std::string& where) const {
        const std::string s = string(v, where);
        if (s == "msc") return PlayerMode::Msc;
        if (s == "loader") return PlayerMode::Loader;
        if (s == "maskrom") return PlayerMode::MaskRom;
        fail(where, "unknown mode \"" + s + "\" (expected \"msc\", \"loader\" or \"maskrom\")");
    }

    std::pair<std::uint16_t, std::uint16_t> idPair(const json& v, const std::string& where) const {
        if (!v.is_array() || v.size() != 2) fail(where, "expected a pair of numbers");
        return {u16(v[0], where + "[0]"), u16(v[1], where + "[1]")};
    }

    PlayerEvent event(const json& v, const std::string& where) const {
        object(v, where);
        checkKeys(v, where, {"at", "action", "mode"});
        if (!v.contains("at")) fail(where, "missing \"at\"");
        if (!v.contains("action")) fail(where, "missing \"action\"");
        PlayerEvent e;
        e.atSeconds = seconds(v["at"], where + ".at");
        const std::string action = string(v["action"], where + ".action");
        if (action == "unplug") e.action = PlayerEvent::Action::Unplug;
        else if (action == "plug") e.action = PlayerEvent::Action::Plug;
        else if (action == "switch") e.action = PlayerEvent::Action::Switch;
        else fail(where + ".action", "unknown action \"" + action +
                                         "\" (expected \"unplug\", \"plug\" or \"switch\")");
        if (v.contains("mode")) e.mode = mode(v["mode"], where + ".mode");
        if (e.action == PlayerEvent::Action::Switch && !e.mode) fail(where, "a switch needs a \"mode\"");
        if (e.action == PlayerEvent::Action::Unplug && e.mode) fail(where, "an unplug takes no \"mode\"");
        return e;
    }

    PlayerSpec player(const json& v, const std::string& where) const {
        object(v, where);
        checkKeys(v, where, {"mode", "present", "enumerateDelay", "mountDelay", "diskId",
                             "friendlyName", "ids", "script", "versions", "ejectVetoes", "driveType",
                             "nand", "timing", "faults"});
        PlayerSpec p;
        if (v.contains("mode") && v["mode"] == "poweron") {
            p.modeAtPowerOn = true;
        } else if (v.contains("mode")) {
            p.mode = mode(v["mode"], where + ".mode");
        }
        if (v.contains("present")) p.present = boolean(v["present"], where + ".present");
        if (v.contains("enumerateDelay"))
            p.enumerateDelay = seconds(v["enumerateDelay"], where + ".enumerateDelay");
        if (v.contains("mountDelay")) {
            if (v["mountDelay"].is_null()) p.mountDelay.reset();
            else p.mountDelay = seconds(v["mountDelay"], where + ".mountDelay");
        }
        if (v.contains("diskId")) p.diskId = string(v["diskId"], where + ".diskId");
        if (v.contains("friendlyName"))
            p.friendlyName = string(v["friendlyName"], where + ".friendlyName");
        if (v.contains("ids")) {
            const json& ids = object(v["ids"], where + ".ids");
            checkKeys(ids, where + ".ids", {"corvUsb", "corvMsc"});
            if (ids.contains("corvUsb"))
                std::tie(p.corvUsbVid, p.corvUsbPid) = idPair(ids["corvUsb"], where + ".ids.corvUsb");
            if (ids.contains("corvMsc"))
                std::tie(p.corvMscVid, p.corvMscPid) = idPair(ids["corvMsc"], where + ".ids.corvMsc");
        }
        if (v.contains("versions")) {
            const json& versions = object(v["versions"], where + ".versions");
            checkKeys(versions, where + ".versions", {"loader", "system"});
            if (versions.contains("loader"))
                std::tie(p.loaderHigh, p.loaderLow) = idPair(versions["loader"], where + ".versions.loader");
            if (versions.contains("system"))
                std::tie(p.systemHigh, p.systemLow) = idPair(versions["system"], where + ".versions.system");
        }
        if (v.contains("ejectVetoes")) {
            const json& n = v["ejectVetoes"];
            if (!n.is_number_integer() || n.get<long long>() < -1 || n.get<long long>() > 1000000)
                fail(where + ".ejectVetoes", "expected a count, or -1 for always");
            p.ejectVetoes = n.get<int>();
        }
        if (v.contains("driveType")) p.fixedDrive = driveType(v["driveType"], where + ".driveType");
        if (v.contains("nand")) p.nand = parseNandSpec(v["nand"], where + ".nand", source());
        if (v.contains("timing"))
            p.timing = parseTimingSpec(v["timing"], where + ".timing", source());
        if (v.contains("faults"))
            p.faults = parseFaultSpec(v["faults"], where + ".faults", source(), p.nand);
        if (v.contains("script")) {
            const json& script = array(v["script"], where + ".script");
            for (std::size_t i = 0; i < script.size(); ++i)
                p.script.push_back(event(script[i], where + ".script[" + std::to_string(i) + "]"));
        }
        return p;
    }

    // True for a fixed drive.
    bool driveType(const json& v, const std::string& where) const {
        const std::string type = string(v, where);
        if (type != "removable" && type != "fixed")
            fail(where, "expected \"removable\" or \"fixed\"");
        return type == "fixed";
    }

    DriveSpec drive(const json& v, const std::string& where) const {
        object(v, where);
        checkKeys(v, where, {"letter", "type", "target"});
        DriveSpec d;
        if (!v.contains("letter")) fail(where, "missing \"letter\"");
        const std::string letter = string(v["letter"], where + ".letter");
        if (letter.size() != 1 || letter[0] < 'D' || letter[0] > 'Z')
            fail(where + ".letter", "expected one upper-case letter from D to Z");
        d.letter = letter[0];
        if (v.contains("type")) d.removable = !driveType(v["type"], where + ".type");
        if (v.contains("target")) d.target = string(v["target"], where + ".target");
        return d;
    }

    HubSpec hub(const json& v, const std::string& where, int depth) const {
        // A real tree has at most 7 tiers; this only keeps hostile files from exhausting the stack.
        if (depth > 32) fail(where, "hubs nested too deeply");
        object(v, where);
        checkKeys(v, where, {"ports", "bytesPerSecond"});
        if (!v.contains("ports")) fail(where, "missing \"ports\"");
        const json& ports = array(v["ports"], where + ".ports");
        if (ports.size() > 255) fail(where + ".ports", "a hub has at most 255 ports");
        HubSpec h;
        if (v.contains("bytesPerSecond")) {
            const json& rate = v["bytesPerSecond"];
            if (!rate.is_number() || rate.get<double>() < 1000 || rate.get<double>() > 1e12)
                fail(where + ".bytesPerSecond", "expected a number from 1000 to 1e12");
            h.bytesPerSecond = rate.get<double>();
        }
        for (std::size_t i = 0; i < ports.size(); ++i)
            h.ports.push_back(port(ports[i], where + ".ports[" + std::to_string(i) + "]", depth));
        return h;
    }

    PortSpec port(const json& v, const std::string& where, int depth) const {
        PortSpec p;
        if (v.is_null()) return p;
        if (!v.is_object() || v.size() != 1)
            fail(where, "unknown port entry (expected null, {\"hub\": ...}, {\"device\": ...} or "
                        "{\"player\": ...})");
        if (v.contains("hub")) {
            p.kind = PortSpec::Kind::Hub;
            p.hub = std::make_shared<HubSpec>(hub(v["hub"], where + ".hub", depth + 1));
        } else if (v.contains("device")) {
            p.kind = PortSpec::Kind::Device;
            p.device = device(v["device"], where + ".device");
        } else if (v.contains("player")) {
            p.kind = PortSpec::Kind::Player;
            p.player = std::make_shared<PlayerSpec>(player(v["player"], where + ".player"));
        } else {
            fail(where, "unknown port entry \"" + v.begin().key() +
                            "\" (expected null, \"hub\", \"device\" or \"player\")");
        }
        return p;
    }

    os::WindowsVersion windows(const json& v) const {
        const std::string s = string(v, "windows");
        if (s == "5.1") return {5, 1};
        if (s == "6.0") return {6, 0};
        if (s == "6.1") return {6, 1};
        if (s == "10.0") return {10, 0};
        fail("windows", "unknown Windows version \"" + s + "\" (expected 5.1, 6.0, 6.1 or 10.0)");
    }

    os::LocalTime time(const json& v) const {
        const std::string s = string(v, "time");
        os::LocalTime t;
        char tail = 0;
        const int n = std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c", &t.year, &t.month, &t.day,
                                  &t.hour, &t.minute, &t.second, &t.millisecond, &tail);
        const bool ok = (n == 6 || n == 7) && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
                        t.day <= 31 && t.hour >= 0 && t.hour < 24 && t.minute >= 0 &&
                        t.minute < 60 && t.second >= 0 && t.second < 60 && t.millisecond >= 0 &&
                        t.millisecond < 1000 && t.year >= 1601 && t.year <= 9999;
        if (!ok) fail("time", "expected a local time such as \"2026-12-31T23:59:59.999\"");
        return t;
    }

    DriverSpec driver(const json& v) const {
        object(v, "corvUsbDriver");
        checkKeys(v, "corvUsbDriver", {"installed", "install"});
        DriverSpec d;
        if (v.contains("installed")) d.installed = boolean(v["installed"], "corvUsbDriver.installed");
        if (v.contains("install")) {
            const std::string install = string(v["install"], "corvUsbDriver.install");
            if (install == "ok") d.install = DriverSpec::Install::Ok;
            else if (install == "restart") d.install = DriverSpec::Install::Restart;
            else if (install == "fail") d.install = DriverSpec::Install::Fail;
            else fail("corvUsbDriver.install", "expected \"ok\", \"restart\" or \"fail\"");
        }
        return d;
    }

    Scenario scenario(const json& root) const {
        object(root, "");
        checkKeys(root, "", {"controllers", "speed", "windows", "time", "drives", "state",
                             "formatLibrary", "corvUsbDriver"});
        Scenario s;
        if (root.contains("corvUsbDriver")) s.corvUsbDriver = driver(root["corvUsbDriver"]);
        if (root.contains("state")) s.stateFolder = string(root["state"], "state");
        if (root.contains("formatLibrary"))
            s.formatLibrary = boolean(root["formatLibrary"], "formatLibrary");
        if (root.contains("speed")) {
            const json& v = root["speed"];
            if (!v.is_number() || v.get<double>() <= 0 || v.get<double>() > 1e6)
                fail("speed", "expected a number above 0 and at most 1000000");
            s.speed = v.get<double>();
        }
        if (root.contains("windows")) s.windows = windows(root["windows"]);
        if (root.contains("time")) s.startTime = time(root["time"]);
        if (root.contains("drives")) {
            const json& drives = array(root["drives"], "drives");
            for (std::size_t i = 0; i < drives.size(); ++i) {
                s.drives.push_back(drive(drives[i], "drives[" + std::to_string(i) + "]"));
                for (std::size_t j = 0; j + 1 < s.drives.size(); ++j)
                    if (s.drives[j].letter == s.drives.back().letter)
                        fail("drives[" + std::to_string(i) + "]", "drive letter used twice");
            }
        }
        if (!root.contains("controllers")) fail("", "missing \"controllers\"");
        const json& controllers = array(root["controllers"], "controllers");
        for (std::size_t i = 0; i < controllers.size(); ++i) {
            const std::string where = "controllers[" + std::to_string(i) + "]";
            const json& c = object(controllers[i], where);
            checkKeys(c, where, {"usb", "ports", "bytesPerSecond"});
            ControllerSpec spec;
            const std::string usb = c.contains("usb") ? string(c["usb"], where + ".usb") : "2.0";
            if (usb != "2.0" && usb != "1.1") fail(where + ".usb", "expected \"2.0\" or \"1.1\"");
            spec.usb20 = usb == "2.0";
            json hubObject = json::object();
            if (c.contains("ports")) hubObject["ports"] = c["ports"];
            else fail(where, "missing \"ports\"");
            if (c.contains("bytesPerSecond")) hubObject["bytesPerSecond"] = c["bytesPerSecond"];
            spec.rootHub = hub(hubObject, where, 0);
            s.controllers.push_back(std::move(spec));
        }
        return s;
    }
};

}  // namespace

Scenario parseScenario(const std::string& text, const std::string& source) {
    Reader reader(source);
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {  // a syntax error, or a number too large to hold
        reader.fail("", std::string("not valid JSON: ") + e.what());
    }
    return reader.scenario(root);
}

Scenario loadScenarioFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ScenarioError(path + ": cannot open the scenario file");
    std::ostringstream text;
    text << in.rdbuf();
    return parseScenario(text.str(), path);
}

}  // namespace cv50::sim
