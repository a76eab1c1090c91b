// Scenario value reading with located messages.
#include "sim/scenario_reader.h"

namespace cv50::sim {

using nlohmann::json;

void ScenarioReader::fail(const std::string& where, const std::string& problem) const {
    throw ScenarioError(source_ + ": " + (where.empty() ? "" : where + ": ") + problem);
}

void ScenarioReader::checkKeys(const json& obj, const std::string& where,
                               std::initializer_list<const char*> known) const {
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        bool ok = false;
        for (const char* k : known) ok = ok || it.key() == k;
        if (!ok) fail(where, "unknown key \"" + it.key() + "\"");
    }
}

const json& ScenarioReader::object(const json& v, const std::string& where) const {
    if (!v.is_object()) fail(where, "expected an object");
    return v;
}

const json& ScenarioReader::array(const json& v, const std::string& where) const {
    if (!v.is_array()) fail(where, "expected an array");
    return v;
}

std::uint64_t ScenarioReader::unsignedNumber(const json& v, const std::string& where,
                                             std::uint64_t max) const {
    std::uint64_t n = 0;
    if (v.is_number_unsigned()) {
        n = v.get<std::uint64_t>();
    } else if (v.is_string()) {
        const std::string s = v.get<std::string>();
        if (s.size() < 3 || s.size() > 18 || (s.rfind("0x", 0) != 0 && s.rfind("0X", 0) != 0))
            fail(where, "expected a number or a \"0x...\" string, got \"" + s + "\"");
        for (std::size_t i = 2; i < s.size(); ++i) {
            const char c = s[i];
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (d < 0) fail(where, "\"" + s + "\" is not a hexadecimal number");
            n = n * 16 + static_cast<unsigned>(d);
        }
    } else {
        fail(where, "expected a number or a \"0x...\" string");
    }
    if (n > max) {
        if (max == 0xFF) fail(where, "value does not fit 8 bits");
        if (max == 0xFFFF) fail(where, "value does not fit 16 bits");
        if (max == 0xFFFFFFFF) fail(where, "value does not fit 32 bits");
        fail(where, "value above " + std::to_string(max));
    }
    return n;
}

std::uint8_t ScenarioReader::u8(const json& v, const std::string& where) const {
    return static_cast<std::uint8_t>(unsignedNumber(v, where, 0xFF));
}

std::uint16_t ScenarioReader::u16(const json& v, const std::string& where) const {
    return static_cast<std::uint16_t>(unsignedNumber(v, where, 0xFFFF));
}

std::uint32_t ScenarioReader::u32(const json& v, const std::string& where) const {
    return static_cast<std::uint32_t>(unsignedNumber(v, where, 0xFFFFFFFF));
}

std::int64_t ScenarioReader::integer(const json& v, const std::string& where, std::int64_t min,
                                     std::int64_t max) const {
    if (!v.is_number_integer()) fail(where, "expected a whole number");
    if (v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(max))
        fail(where, "expected a number from " + std::to_string(min) + " to " + std::to_string(max));
    const std::int64_t n = v.get<std::int64_t>();
    if (n < min || n > max)
        fail(where, "expected a number from " + std::to_string(min) + " to " + std::to_string(max));
    return n;
}

bool ScenarioReader::boolean(const json& v, const std::string& where) const {
    if (!v.is_boolean()) fail(where, "expected true or false");
    return v.get<bool>();
}

std::string ScenarioReader::string(const json& v, const std::string& where) const {
    if (!v.is_string()) fail(where, "expected a string");
    return v.get<std::string>();
}

}  // namespace cv50::sim
