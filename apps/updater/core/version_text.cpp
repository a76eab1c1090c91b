#include "apps/updater/core/version_text.h"

namespace cv50::updater {
namespace {

// The `count` lowest groups of `value`, from the highest nonzero one down; `empty` when
// all are zero.
std::u16string groups(std::uint16_t value, int count, const char16_t* empty) {
    std::u16string out;
    for (int shift = (count - 1) * 4; shift >= 0; shift -= 4) {
        const unsigned group = (value >> shift) & 0xFu;
        if (out.empty() && group == 0) continue;
        if (group >= 10) out += u'1';
        out += static_cast<char16_t>(u'0' + group % 10);
    }
    return out.empty() ? std::u16string(empty) : out;
}

}  // namespace

std::u16string loaderVersionText(std::uint16_t major, std::uint16_t minor) {
    return groups(major, 4, u"0") + u"." + groups(minor, 4, u"00");
}

std::u16string softwareVersionText(std::uint16_t high, std::uint16_t low) {
    return groups(static_cast<std::uint16_t>(high >> 8), 2, u"0") + u"." +
           groups(static_cast<std::uint16_t>(high & 0xFF), 2, u"0") + u"." + groups(low, 4, u"00");
}

}  // namespace cv50::updater
