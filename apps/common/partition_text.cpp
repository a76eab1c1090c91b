#include "apps/common/partition_text.h"

namespace cv50::apps {

PartitionResult CheckPartition(std::string text, std::uint32_t minimumMB,
                               const std::function<bool()>& takeMinimum) {
    if (text.find_first_not_of("0123456789:") != std::string::npos)
        return {PartitionVerdict::Invalid, {}};
    if (!text.empty() && text.front() == ':') text.erase(0, 1);
    if (text.size() > 1 && text.back() == ':') text.pop_back();
    if (minimumMB == 0) return {PartitionVerdict::Ok, text};
    if (text.empty()) return {PartitionVerdict::Ok, std::to_string(minimumMB)};
    const std::size_t end = std::min(text.find(':'), text.size());
    // Digits only, so the number is read whole; one too large for 32 bits is not below.
    std::uint64_t first = 0;
    for (std::size_t i = 0; i < end && first <= minimumMB; ++i)
        first = first * 10 + (text[i] - '0');
    if (first >= minimumMB) return {PartitionVerdict::Ok, text};
    if (!takeMinimum || !takeMinimum()) return {PartitionVerdict::Cancelled, {}};
    return {PartitionVerdict::Ok, std::to_string(minimumMB) + text.substr(end)};
}

}  // namespace cv50::apps
