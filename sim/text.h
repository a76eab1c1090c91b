// Small text helpers of the simulator.
#pragma once

#include <algorithm>
#include <string>

#include "base/text.h"

namespace cv50::sim {

using base::equalNoCase;
using base::startsWithNoCase;
using base::upper;

// An instance id as it appears inside interface paths: "\" becomes "#".
inline std::string hashed(std::string id) {
    std::replace(id.begin(), id.end(), '\\', '#');
    return id;
}

}  // namespace cv50::sim
