// cv50 sn: the serial number and MAC address of the loader device on one port.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cv50::cli {

// "0A1b..." (pairs of hex digits, spaces and ':' allowed between them); throws on anything else.
std::vector<std::uint8_t> parseHexBytes(const std::string& text);
// "00:1A:2B:3C:4D:5E" or "001A2B3C4D5E"; throws unless it is six bytes.
std::array<std::uint8_t, 6> parseMac(const std::string& text);

int runSnRead(const std::string& layer, std::ostream& out, std::ostream& err);
int runSnWrite(const std::string& layer, const std::vector<std::uint8_t>& sn,
               const std::optional<std::array<std::uint8_t, 6>>& mac, std::ostream& out,
               std::ostream& err);

}  // namespace cv50::cli
