// Tests: a folder of language files on the host behind the simulator's seam.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/unicode.h"
#include "sim/testing/profile_cases.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::apps::testing {

class LanguageFolder : public ::testing::Test {
protected:
    LanguageFolder() { std::filesystem::create_directories(hostPath("")); }

    // The folder as the programs name it, and a file in it.
    std::string folder() const { return temp_.path() + "\\Language"; }
    std::string file(const std::string& name) const { return folder() + "\\" + name; }
    std::u16string folderW() const { return base::utf16FromUtf8(folder()); }
    std::u16string fileW(const std::string& name) const { return base::utf16FromUtf8(file(name)); }

    // Writes `bytes` as the file `name` of the folder.
    void write(const std::string& name, const std::string& bytes) const {
        sim::testing::writeTextFile(hostPath(name), bytes);
    }
    // The same text as UTF-16LE with its byte-order mark.
    void writeUtf16(const std::string& name, const std::u16string& text) const {
        write(name, sim::testing::utf16File(text));
    }
    void makeFolder(const std::string& name) const {
        std::filesystem::create_directories(hostPath(name));
    }

private:
    std::filesystem::path hostPath(const std::string& name) const {
        const std::string p = temp_.path() + "/Language/" + name;
        return std::filesystem::path(std::u8string(p.begin(), p.end()));
    }

    sim::testing::ScopedSim sim_{sim::testing::ScenarioBuilder()};
    sim::testing::TempFolder temp_;
};

}  // namespace cv50::apps::testing
