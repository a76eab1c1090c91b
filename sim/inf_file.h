// Driver information (INF) files as the simulated setup functions read them: sections of
// "key = value, value" lines with comments, quotes, continued lines and %string% keys from
// [Strings]. Enough of the format to judge a driver package, not a full setup engine.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cv50::sim {

struct InfLine {
    std::string key;                  // empty for a line without "="
    std::vector<std::string> values;  // unquoted, %strings% replaced
};

class InfFile {
public:
    // Nothing, with `error` set, when `text` is no INF file: no [Version] section whose
    // Signature is "$Windows NT$" or "$Chicago$".
    static std::optional<InfFile> parse(const std::string& text, std::string& error);

    // The lines of section `name` (any case), or nullptr when there is none.
    const std::vector<InfLine>* section(const std::string& name) const;
    // The first value of `key` (any case) in section `name`; empty when there is none.
    std::string value(const std::string& name, const std::string& key) const;

    // One device an x64 system installs from the file: the models section named in
    // [Manufacturer] (its NTamd64 form when the line lists one).
    struct Model {
        std::string description;
        std::string installSection;
        std::vector<std::string> ids;  // hardware id, then compatible ids
    };
    std::vector<Model> models() const;
    // Whether section `name` exists for an x64 system: as name.NTamd64, name.NT or name.
    bool hasInstallSection(const std::string& name) const;

private:
    std::map<std::string, std::vector<InfLine>> sections_;  // by upper-case name
};

// "{88bae032-5a81-49f0-bc3d-a4ff138216d6}" as a GUID lies in memory (the first three fields
// little-endian), or nothing.
std::optional<std::array<std::uint8_t, 16>> parseGuid(const std::string& text);

}  // namespace cv50::sim
