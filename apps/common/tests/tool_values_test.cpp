// The values the programs take from their settings and fields: hexadecimal USB numbers, the
// partition text, and the ID Block words built back from a boot file's Version and Date.
#include <gtest/gtest.h>

#include "apps/common/boot_texts.h"
#include "apps/common/partition_text.h"
#include "apps/common/settings_values.h"

namespace cv50::apps {
namespace {

TEST(HexValue, DigitsAfterAnOptionalPrefixUpToTheFirstOtherCharacter) {
    const struct {
        const char* text;
        std::uint16_t value;
    } cases[] = {{"0x071B", 0x071B}, {"071B", 0x071B}, {"071b", 0x071B},  {"0X3201", 0x3201},
                 {"07g1", 0x07},     {"12G4", 0x12},   {"", 0},           {"0x", 0},
                 {"zz", 0},          {" 71B", 0},      {"123456", 0x3456}};
    for (const auto& c : cases) {
        EXPECT_EQ(hexValue(std::string_view(c.text)), c.value) << c.text;
        const std::string narrow = c.text;
        EXPECT_EQ(hexValue(std::u16string(narrow.begin(), narrow.end())), c.value) << c.text;
    }
}

TEST(Partition, ColonsTrimmedInvalidTextRefusedAndTheMinimumTakenOnlyWhenAccepted) {
    const struct {
        const char* text;
        std::uint32_t minimum;
        bool accept;
        PartitionVerdict verdict;
        const char* result;
        bool asked;
    } cases[] = {
        {"12:", 0, false, PartitionVerdict::Ok, "12", false},
        {":12", 0, false, PartitionVerdict::Ok, "12", false},
        {":5:", 0, false, PartitionVerdict::Ok, "5", false},
        {"", 0, false, PartitionVerdict::Ok, "", false},
        {"1a", 0, false, PartitionVerdict::Invalid, "", false},
        {"5 :100", 8, true, PartitionVerdict::Invalid, "", false},
        {"", 64, false, PartitionVerdict::Ok, "64", false},
        {"32:100", 64, true, PartitionVerdict::Ok, "64:100", true},
        {"32:100", 64, false, PartitionVerdict::Cancelled, "", true},
        {"5:100", 8, true, PartitionVerdict::Ok, "8:100", true},
        {"64", 64, false, PartitionVerdict::Ok, "64", false},
        {"99999999999999999999:1", 64, false, PartitionVerdict::Ok, "99999999999999999999:1",
         false},
    };
    for (const auto& c : cases) {
        bool asked = false;
        const PartitionResult r = CheckPartition(c.text, c.minimum, [&] {
            asked = true;
            return c.accept;
        });
        EXPECT_EQ(r.verdict, c.verdict) << c.text;
        EXPECT_EQ(r.text, c.result) << c.text;
        EXPECT_EQ(asked, c.asked) << c.text;
    }
}

TEST(BootTexts, TheWordsOfTheIdBlockComeBackFromVersionAndDateAsBcd) {
    EXPECT_EQ(idBlockWordsFromTexts("1.23", "2008-12-20 10:11:12"),
              (std::array<std::uint16_t, 3>{0x2008, 0x1220, 0x0123}));
    EXPECT_EQ(idBlockWordsFromTexts("12.5", "2026-03-07"),
              (std::array<std::uint16_t, 3>{0x2026, 0x0307, 0x1205}));
    // What cannot be read is 0; it never reads past the text.
    EXPECT_EQ(idBlockWordsFromTexts("", "2026"), (std::array<std::uint16_t, 3>{0x2026, 0, 0}));
    EXPECT_EQ(idBlockWordsFromTexts("x.y", "--"), (std::array<std::uint16_t, 3>{0, 0, 0}));
}

}  // namespace
}  // namespace cv50::apps
