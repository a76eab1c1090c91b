#include "sim/inf_file.h"

#include <cctype>

#include "base/unicode.h"
#include "sim/text.h"

namespace cv50::sim {
namespace {

std::string trim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

// The file as UTF-8: a UTF-16 file (with its byte-order mark) is converted, a UTF-8 mark
// dropped.
std::string utf8Text(const std::string& raw) {
    if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
        static_cast<unsigned char>(raw[1]) == 0xFE) {
        std::u16string wide;
        for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
            wide += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                          static_cast<unsigned char>(raw[i + 1]) << 8);
        return base::utf8FromUtf16(wide);
    }
    if (raw.rfind("\xEF\xBB\xBF", 0) == 0) return raw.substr(3);
    return raw;
}

// One logical line split into its fields: the part before an "=" outside quotes (if any)
// and the comma-separated values, with quotes removed and comments dropped.
struct RawLine {
    bool hasKey = false;
    std::string key;
    std::vector<std::string> values;
};

RawLine splitLine(const std::string& line) {
    RawLine out;
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ';') {
            break;
        } else if (c == '=' && !out.hasKey && fields.size() == 1) {
            out.hasKey = true;
            out.key = trim(fields.back());
            fields.back().clear();
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    for (const std::string& f : fields) out.values.push_back(trim(f));
    if (out.values.size() == 1 && out.values[0].empty()) out.values.clear();
    return out;
}

// Physical lines joined where one ends in "\" (outside a comment).
std::vector<std::string> logicalLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string pending;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t comment = line.find(';');
        std::string body = trim(comment == std::string::npos ? line : line.substr(0, comment));
        if (!body.empty() && body.back() == '\\') {
            body.pop_back();
            pending += body + " ";
        } else {
            lines.push_back(pending + line);
            pending.clear();
        }
        at = end + 1;
    }
    if (!pending.empty()) lines.push_back(pending);
    return lines;
}

// %key% replaced by its [Strings] value; %% is a percent sign; unknown keys (and the
// numbered folder ids such as %12%) stay as they are.
std::string substitute(const std::string& s, const std::map<std::string, std::string>& strings) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const std::size_t close = s[i] == '%' ? s.find('%', i + 1) : std::string::npos;
        if (close == std::string::npos) {
            out += s[i];
            continue;
        }
        const std::string key = s.substr(i + 1, close - i - 1);
        const auto it = strings.find(upper(key));
        if (key.empty()) out += '%';
        else if (it != strings.end()) out += it->second;
        else out += s.substr(i, close - i + 1);
        i = close;
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<InfFile> InfFile::parse(const std::string& rawText, std::string& error) {
    std::map<std::string, std::vector<RawLine>> raw;
    std::string current;
    bool inSection = false;
    for (const std::string& line : logicalLines(utf8Text(rawText))) {
        const std::string body = trim(line);
        if (body.empty() || body[0] == ';') continue;
        if (body[0] == '[') {
            const std::size_t close = body.find(']');
            if (close == std::string::npos) {
                error = "a section name without \"]\": " + body;
                return std::nullopt;
            }
            current = upper(trim(body.substr(1, close - 1)));
            inSection = true;
            raw[current];
            continue;
        }
        if (!inSection) {
            error = "a line before the first section: " + body;
            return std::nullopt;
        }
        raw[current].push_back(splitLine(body));
    }

    std::map<std::string, std::string> strings;
    if (const auto it = raw.find("STRINGS"); it != raw.end())
        for (const RawLine& l : it->second)
            if (l.hasKey && !l.values.empty()) {
                // A string's own "%%" is a percent sign; it names no further string.
                std::string text;
                const std::string& v = l.values.front();
                for (std::size_t i = 0; i < v.size(); ++i) {
                    text += v[i];
                    if (v[i] == '%' && i + 1 < v.size() && v[i + 1] == '%') ++i;
                }
                strings[upper(l.key)] = text;
            }

    InfFile file;
    for (const auto& [name, lines] : raw) {
        auto& out = file.sections_[name];
        if (name == "STRINGS") {
            for (const RawLine& l : lines) out.push_back(InfLine{l.key, l.values});
            continue;
        }
        for (const RawLine& l : lines) {
            InfLine line;
            line.key = substitute(l.key, strings);
            for (const std::string& v : l.values) line.values.push_back(substitute(v, strings));
            out.push_back(std::move(line));
        }
    }
    if (!file.section("Version")) {
        error = "no [Version] section";
        return std::nullopt;
    }
    const std::string signature = upper(file.value("Version", "Signature"));
    if (signature != "$WINDOWS NT$" && signature != "$CHICAGO$") {
        error = "no known Signature in [Version]";
        return std::nullopt;
    }
    return file;
}

const std::vector<InfLine>* InfFile::section(const std::string& name) const {
    const auto it = sections_.find(upper(name));
    return it == sections_.end() ? nullptr : &it->second;
}

std::string InfFile::value(const std::string& name, const std::string& key) const {
    if (const auto* lines = section(name))
        for (const InfLine& l : *lines)
            if (equalNoCase(l.key, key) && !l.values.empty()) return l.values.front();
    return {};
}

std::vector<InfFile::Model> InfFile::models() const {
    std::vector<Model> out;
    const auto* manufacturers = section("Manufacturer");
    if (!manufacturers) return out;
    for (const InfLine& maker : *manufacturers) {
        if (maker.values.empty()) continue;
        std::string name = maker.values[0];
        for (std::size_t i = 1; i < maker.values.size(); ++i)
            if (startsWithNoCase(maker.values[i], "NTamd64")) {
                name += "." + maker.values[i];
                break;
            }
        const auto* lines = section(name);
        if (!lines) continue;
        for (const InfLine& l : *lines) {
            if (l.values.size() < 2) continue;
            out.push_back(Model{l.key, l.values[0], {l.values.begin() + 1, l.values.end()}});
        }
    }
    return out;
}

bool InfFile::hasInstallSection(const std::string& name) const {
    return section(name + ".NTamd64") || section(name + ".NT") || section(name);
}

std::optional<std::array<std::uint8_t, 16>> parseGuid(const std::string& text) {
    // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
    std::vector<std::uint8_t> bytes;  // in text order
    for (std::size_t i = 1; i < 37;) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        const int hi = hexDigit(text[i]), lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        i += 2;
    }
    std::array<std::uint8_t, 16> g{};
    // Data1 (4 bytes), Data2 and Data3 (2 each) lie little-endian; Data4 as written.
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i) g[i] = bytes[order[i]];
    return g;
}

}  // namespace cv50::sim
