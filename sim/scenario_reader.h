// Reading values out of a scenario file with messages that name the file and the place
// inside it ("world.json: controllers[0].ports[2].device.vid: ..."). Every part of the
// simulator that reads scenario keys goes through this, so all report alike.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/scenario.h"

namespace cv50::sim {

class ScenarioReader {
public:
    explicit ScenarioReader(std::string source) : source_(std::move(source)) {}

    const std::string& source() const { return source_; }

    // Throws ScenarioError "<source>: <where>: <problem>".
    [[noreturn]] void fail(const std::string& where, const std::string& problem) const;
    void checkKeys(const nlohmann::json& obj, const std::string& where,
                   std::initializer_list<const char*> known) const;
    const nlohmann::json& object(const nlohmann::json& v, const std::string& where) const;
    const nlohmann::json& array(const nlohmann::json& v, const std::string& where) const;
    // A non-negative JSON number or a "0x..." string, at most `max`.
    std::uint64_t unsignedNumber(const nlohmann::json& v, const std::string& where,
                                 std::uint64_t max) const;
    std::uint16_t u16(const nlohmann::json& v, const std::string& where) const;
    std::uint32_t u32(const nlohmann::json& v, const std::string& where) const;
    std::uint8_t u8(const nlohmann::json& v, const std::string& where) const;
    // A JSON integer within [min, max].
    std::int64_t integer(const nlohmann::json& v, const std::string& where, std::int64_t min,
                         std::int64_t max) const;
    bool boolean(const nlohmann::json& v, const std::string& where) const;
    std::string string(const nlohmann::json& v, const std::string& where) const;

private:
    std::string source_;
};

}  // namespace cv50::sim
