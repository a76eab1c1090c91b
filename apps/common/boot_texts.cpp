#include "apps/common/boot_texts.h"

#include <cstdio>
#include <vector>

namespace cv50::apps {
namespace {

// The decimal numbers of `text` in order, each ended by `separators` (a missing one 0).
std::vector<std::uint32_t> numbersOf(const std::string& text, const std::string& separators,
                                     std::size_t count) {
    std::vector<std::uint32_t> out(count, 0);
    std::size_t at = 0;
    for (std::size_t n = 0; n < count && at < text.size(); ++n) {
        std::uint32_t value = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 9) {
            value = value * 10 + static_cast<std::uint32_t>(text[at++] - '0');
            ++digits;
        }
        if (digits == 0) break;
        out[n] = value;
        if (n + 1 < count) {
            if (at >= text.size() || text[at] != separators[n]) break;
            ++at;
        }
    }
    return out;
}

std::uint16_t lowByteOfBcd(std::uint32_t value) { return flash::toBcd(value) & 0xFF; }

}  // namespace

std::string bootVersionText(const flash::BootHead& head) {
    return std::to_string(head.loaderVersionHigh()) + "." + std::to_string(head.loaderVersionLow());
}

std::string bootDateText(const flash::BootHead& head) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", head.date(0), head.date(1),
                  head.date(2), head.releaseTime(0), head.releaseTime(1), head.releaseTime(2));
    return text;
}

std::string bootMergeText(const flash::BootHead& head) {
    return std::to_string(head.mergeVersion());
}

std::array<std::uint16_t, 3> idBlockWordsFromTexts(const std::string& version,
                                                   const std::string& date) {
    const auto v = numbersOf(version, ".", 2);
    const auto d = numbersOf(date, "--", 3);
    return {flash::toBcd(d[0]),
            static_cast<std::uint16_t>(lowByteOfBcd(d[1]) << 8 | lowByteOfBcd(d[2])),
            static_cast<std::uint16_t>(lowByteOfBcd(v[0]) << 8 | lowByteOfBcd(v[1]))};
}

}  // namespace cv50::apps
