// The partition text of the production and engineering tools ("64:100": the configuration
// disk in MiB first, then the further disks), checked before a run starts, and raised to the
// minimum configuration disk an image asks for.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace cv50::apps {

enum class PartitionVerdict {
    Ok,
    Invalid,    // a character other than a digit or ":"
    Cancelled,  // the user did not take the minimum
};

struct PartitionResult {
    PartitionVerdict verdict = PartitionVerdict::Ok;
    std::string text;  // the text to use when Ok
};

// One leading ":" and, in a text longer than one character, one trailing ":" are dropped.
// With `minimumMB` above 0: an empty text becomes the minimum; a first number below it asks
// `takeMinimum`, whose yes puts the minimum in its place and whose no cancels.
PartitionResult CheckPartition(std::string text, std::uint32_t minimumMB,
                               const std::function<bool()>& takeMinimum);

}  // namespace cv50::apps
