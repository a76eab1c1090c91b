// The hardware-id multi-string, byte for byte.
#include "engine/os/multi_string.h"

#include <gtest/gtest.h>

namespace cv50::os {
namespace {

using namespace std::string_literals;

TEST(MultiString, PacksEachTextWithItsNulAndOneMore) {
    const struct {
        std::vector<std::string> texts;
        std::string bytes;
    } cases[] = {
        {{"USB\\Vid_071b&Pid_3201"}, "USB\\Vid_071b&Pid_3201\0\0"s},
        {{"a", "bc"}, "a\0bc\0\0"s},
        {{}, "\0\0"s},
        // An empty text would end the list before "b".
        {{"a", "", "b"}, "a\0b\0\0"s},
        {{"a\0z"s, "b"}, "a\0b\0\0"s},
    };
    for (const auto& c : cases) EXPECT_EQ(packMultiString(c.texts), c.bytes);
}

TEST(MultiString, ParsesUpToTheEmptyEntryOrTheEndOfTheBuffer) {
    const struct {
        std::string bytes;
        std::vector<std::string> texts;
    } cases[] = {
        {"USB\\VID_071B&PID_3201&REV_0100\0USB\\VID_071B&PID_3201\0\0"s,
         {"USB\\VID_071B&PID_3201&REV_0100", "USB\\VID_071B&PID_3201"}},
        {"a\0\0b\0\0"s, {"a"}},
        {"\0"s, {}},
        {""s, {}},
        // A property the system left without its terminator ends with the buffer.
        {"a\0bc"s, {"a", "bc"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseMultiString(std::span(c.bytes.data(), c.bytes.size())), c.texts);
}

}  // namespace
}  // namespace cv50::os
