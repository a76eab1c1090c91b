// The CV_ exports' second names in CV50DLL.def: the names the platform's own C++ compiler
// gives their declarations, worked out here from the declarations themselves, so that a
// signature that changes without its alias fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/api/cv_exports.h"
#include "engine/api/exports.h"

namespace {

// The code of a type in a decorated name (x64: pointers and references carry "E").
template <typename T>
struct Code;
template <> struct Code<int> { static std::string get() { return "H"; } };
template <> struct Code<unsigned int> { static std::string get() { return "I"; } };
template <> struct Code<unsigned short> { static std::string get() { return "G"; } };
template <> struct Code<unsigned long> { static std::string get() { return "K"; } };
template <> struct Code<char> { static std::string get() { return "D"; } };
template <> struct Code<DEVICE_INFO> { static std::string get() { return "UDEVICE_INFO@@"; } };
template <> struct Code<_CORV_VERSION> { static std::string get() { return "U_CORV_VERSION@@"; } };
template <> struct Code<CV_DEVICE_TYPE> { static std::string get() { return "W4CV_DEVICE_TYPE@@"; } };
template <typename T> struct Code<T*> { static std::string get() { return "PEA" + Code<T>::get(); } };
template <typename T> struct Code<const T*> { static std::string get() { return "PEB" + Code<T>::get(); } };
template <typename T> struct Code<T&> { static std::string get() { return "AEA" + Code<T>::get(); } };
template <typename T> struct Code<const T&> { static std::string get() { return "AEB" + Code<T>::get(); } };

template <typename F>
struct Decorated;
// A free function with the default calling convention. An argument type whose code is
// longer than one letter is written once; a repeat is the digit of its first place. (Repeated
// names inside different types would need the compiler's name back-references, which no
// export has.)
template <typename R, typename... Args>
struct Decorated<R(Args...)> {
    static std::string of(const std::string& name) {
        std::string args;
        std::vector<std::string> seen;
        const std::vector<std::string> codes{Code<Args>::get()...};
        for (const std::string& code : codes) {
            auto at = std::find(seen.begin(), seen.end(), code);
            if (code.size() > 1 && at != seen.end() && at - seen.begin() < 10) {
                args += static_cast<char>('0' + (at - seen.begin()));
            } else {
                args += code;
                if (code.size() > 1) seen.push_back(code);
            }
        }
        return "?" + name + "@@YA" + Code<R>::get() + (args.empty() ? "X" : args + "@") + "Z";
    }
};

#define DECORATED(fn) std::pair<std::string, std::string>(#fn, Decorated<decltype(fn)>::of(#fn))

// The export lines of the .def file: alias=target, or a name alone (mapped to itself).
std::map<std::string, std::string> defExports() {
    std::ifstream in(CV50_DEF_FILE);
    std::map<std::string, std::string> exports;
    std::string line;
    while (std::getline(in, line)) {
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';' || line.find("EXPORTS") == first ||
            line.find("LIBRARY") == first)
            continue;
        const std::string entry = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
        const auto equals = entry.find('=');
        if (equals == std::string::npos) exports[entry] = entry;
        else exports[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    return exports;
}

TEST(DecoratedNames, EncodeAsThePlatformsCompilerDoes) {
    // Names as that compiler's rules give them, worked out by hand.
    using Plain = int();
    using Repeats = int(char*, unsigned short&, unsigned short&);
    using Record = int(const DEVICE_INFO&);
    EXPECT_EQ(Decorated<Plain>::of("f"), "?f@@YAHXZ");
    EXPECT_EQ(Decorated<Repeats>::of("f"), "?f@@YAHPEADAEAG1@Z");
    EXPECT_EQ(Decorated<Record>::of("f"), "?f@@YAHAEBUDEVICE_INFO@@@Z");
}

TEST(DecoratedNames, EveryCvExportIsAlsoExportedUnderItsDecoratedName) {
    const auto exports = defExports();
    ASSERT_FALSE(exports.empty()) << CV50_DEF_FILE;
    const std::pair<std::string, std::string> functions[] = {
        DECORATED(CV_GetLoaderVersion), DECORATED(CV_GetSystemVersion), DECORATED(CV_GetDiskSize),
        DECORATED(CV_GetImageSize),     DECORATED(CV_FindDevice),       DECORATED(CV_WaitDevice),
        DECORATED(CV_SwitchCorvUsb),    DECORATED(CV_GetDeviceVersion), DECORATED(CV_ResetDevice),
        DECORATED(CV_DownloadImage),    DECORATED(CV_CopyData),         DECORATED(CV_Upgrade),
        DECORATED(CV_EraseIDB),
    };
    std::vector<std::string> covered;
    for (const auto& [plain, decorated] : functions) {
        const auto alias = exports.find(decorated);
        ASSERT_NE(alias, exports.end()) << plain << ": no export " << decorated;
        // The alias names this compiler's export of the same function.
        const std::string target = alias->second;
        EXPECT_EQ(target.rfind("_Z" + std::to_string(plain.size()) + plain, 0), 0u) << target;
        EXPECT_EQ(exports.count(target), 1u) << target;
        covered.push_back(target);
    }
    // And no CV_ export is left without one.
    for (const auto& [name, target] : exports) {
        if (name == target && name.find("CV_") != std::string::npos) {
            EXPECT_NE(std::find(covered.begin(), covered.end(), name), covered.end()) << name;
        }
    }
}

}  // namespace
