#include "apps/updater/core/partition.h"

#include <algorithm>

namespace cv50::updater {
namespace {

constexpr std::uint32_t kMost = 0xFFFF;

std::uint16_t held(std::uint64_t value) {
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(value, kMost));
}

// The number a piece starts with, after blanks and an optional sign; a negative one is 0.
std::uint16_t numberOf(std::u16string_view piece) {
    std::size_t i = 0;
    while (i < piece.size() && (piece[i] == u' ' || piece[i] == u'\t')) ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == u'+' || piece[i] == u'-')) negative = piece[i++] == u'-';
    std::uint64_t value = 0;
    for (; i < piece.size() && piece[i] >= u'0' && piece[i] <= u'9'; ++i)
        value = std::min<std::uint64_t>(value * 10 + (piece[i] - u'0'), kMost + 1);
    return negative ? 0 : held(value);
}

}  // namespace

PartitionVector partitionVector(std::uint32_t imageSizeMB, std::u16string_view partition) {
    PartitionVector v{held(imageSizeMB), 0, 0, 0};
    if (partition.empty()) return v;
    std::size_t at = 0;
    for (std::size_t element = 1; element < v.size(); ++element) {
        const std::size_t colon = partition.find(u':', at);
        const std::size_t length = colon == std::u16string_view::npos ? colon : colon - at;
        v[element] = numberOf(partition.substr(at, length));
        if (colon == std::u16string_view::npos) break;
        at = colon + 1;
    }
    return v;
}

DiskSizes diskSizes(const PartitionVector& partition, bool hasSizeRecord,
                    std::uint32_t imageSystemMB, std::uint32_t imageConfigMB) {
    if (hasSizeRecord) return {imageSystemMB, std::max<std::uint32_t>(partition[1], imageConfigMB)};
    return {partition[0], partition[1]};
}

}  // namespace cv50::updater
