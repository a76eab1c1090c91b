// cv50 sn read | write.
#include "cli/cmd_sn.h"

#include <cctype>
#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "cli/cmd_flash.h"
#include "cli/commands.h"
#include "cli/port_option.h"
#include "engine/flash/serial_number.h"

namespace cv50::cli {
namespace {

struct SnWriteOptions {
    std::string layer, text, hex, mac;
};

std::string hexOf(const std::uint8_t* bytes, std::size_t n, const char* separator) {
    std::string s;
    char two[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02X", bytes[i]);
        if (i) s += separator;
        s += two;
    }
    return s;
}

}  // namespace

std::vector<std::uint8_t> parseHexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ':') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            throw std::invalid_argument("not a hexadecimal digit in \"" + text + "\"");
        digits += c;
    }
    if (digits.size() % 2 != 0)
        throw std::invalid_argument("odd number of hex digits in \"" + text + "\"");
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::array<std::uint8_t, 6> parseMac(const std::string& text) {
    const auto bytes = parseHexBytes(text);
    if (bytes.size() != 6)
        throw std::invalid_argument("a MAC address has six bytes: \"" + text + "\"");
    std::array<std::uint8_t, 6> mac{};
    std::copy(bytes.begin(), bytes.end(), mac.begin());
    return mac;
}

int runSnRead(const std::string& layer, std::ostream& out, std::ostream& err) {
    const auto path = corvUsbPathOn(layer, "cv50 sn read", err);
    if (!path) return kExitFailed;
    const auto stored = flash::ReadStoredSerialNumber(*path);
    if (!stored) {
        err << "cv50 sn read: the ID Block could not be read\n";
        return kExitFailed;
    }
    const auto& sn = stored->snData;
    out << "Serial number: " << sn.size() << " bytes\n";
    if (!sn.empty()) {
        bool printable = true;
        for (std::uint8_t b : sn) printable = printable && std::isprint(b);
        if (printable) out << "Text: " << std::string(sn.begin(), sn.end()) << "\n";
        out << "Hex: " << hexOf(sn.data(), sn.size(), "") << "\n";
    }
    out << "MAC: " << (stored->hasMac ? hexOf(stored->mac.data(), 6, ":") : "none") << "\n";
    return kExitOk;
}

int runSnWrite(const std::string& layer, const std::vector<std::uint8_t>& sn,
               const std::optional<std::array<std::uint8_t, 6>>& mac, std::ostream& out,
               std::ostream& err) {
    if (sn.empty()) {
        err << "cv50 sn write: the serial number is empty\n";
        return kExitBadInput;
    }
    if (sn.size() > 500) {
        err << "cv50 sn write: a serial number holds at most 500 bytes, not " << sn.size() << "\n";
        return kExitBadInput;
    }
    const auto path = corvUsbPathOn(layer, "cv50 sn write", err);
    if (!path) return kExitFailed;
    if (!flash::WriteSerialNumber(*path, sn, mac)) {
        err << "cv50 sn write: the serial number was not written\n";
        return kExitFailed;
    }
    out << "Serial number written (" << sn.size() << " bytes) to all five ID Block copies\n";
    return kExitOk;
}

void addSnCommand(CLI::App& app, Action& action) {
    CLI::App* sn = app.add_subcommand("sn", "Read or write the serial number of a loader device");
    sn->require_subcommand(1);

    auto layer = std::make_shared<std::string>();
    CLI::App* r = sn->add_subcommand("read", "Show the serial number and MAC address");
    addPortOption(*r, *layer);
    r->callback(
        [layer, &action] { action = [layer] { return runSnRead(*layer, std::cout, std::cerr); }; });

    auto o = std::make_shared<SnWriteOptions>();
    CLI::App* w = sn->add_subcommand("write", "Write a serial number (and MAC address)");
    addPortOption(*w, o->layer);
    auto* text = w->add_option("TEXT", o->text, "The serial number as text");
    auto* hex = w->add_option("--hex", o->hex, "The serial number as hex bytes");
    text->excludes(hex);
    w->add_option("--mac", o->mac, "A MAC address, e.g. 00:1A:2B:3C:4D:5E");
    w->callback([o, &action] {
        action = [o] {
            std::vector<std::uint8_t> bytes;
            std::optional<std::array<std::uint8_t, 6>> mac;
            try {
                bytes = o->hex.empty() ? std::vector<std::uint8_t>(o->text.begin(), o->text.end())
                                       : parseHexBytes(o->hex);
                if (!o->mac.empty()) mac = parseMac(o->mac);
            } catch (const std::exception& e) {
                std::cerr << "cv50 sn write: " << e.what() << "\n";
                return kExitBadInput;
            }
            return runSnWrite(o->layer, bytes, mac, std::cout, std::cerr);
        };
    });
}

}  // namespace cv50::cli
