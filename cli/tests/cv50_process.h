// Tests: the cv50 program run as a user runs it, in a process of its own.
#pragma once

#include <string>

#include "sim/testing/test_files.h"

namespace cv50::cli::testing {

struct Outcome {
    int status;
    std::string out;  // stdout and stderr together
};

// Runs `CV50_BINARY args` through the shell and waits for it.
Outcome cv50(const std::string& args);

// A firmware image packed by cv50 itself, in `folder`: system version 1.2, a 64 MB system
// disk and a 16 MB configuration disk.
std::string packedImage(const sim::testing::TempFolder& folder);

}  // namespace cv50::cli::testing
