// Tests: send the engine's log to a scratch folder and read back what was written.
#pragma once

#include <filesystem>
#include <string>

#include "engine/device/log.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::testing {

class LogCapture {
public:
    LogCapture() { cv50::log::setFolder(folder_.path().c_str()); }
    ~LogCapture() { cv50::log::disable(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every line logged so far, across the dated files.
    std::string text() const {
        std::string all;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path()))
            all += sim::testing::readTextFile(entry.path());
        return all;
    }
    bool contains(const std::string& needle) const { return text().find(needle) != std::string::npos; }

private:
    sim::testing::TempFolder folder_;
};

}  // namespace cv50::testing
