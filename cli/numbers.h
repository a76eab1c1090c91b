// Number options of the packer commands, checked before anything is written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace cv50::cli {

// "12" (decimal), "0x1F" (hexadecimal): a whole number no larger than `max`; throws with `what` in
// the message.
std::uint32_t parseNumber(const std::string& text, std::uint32_t max, const std::string& what);

// "1.23", "2008-12-20": exactly `count` numbers separated by `separator`.
std::vector<std::uint32_t> splitNumbers(const std::string& text, char separator, std::size_t count,
                                        std::uint32_t max, const std::string& what);

// Runs a command body; a std::exception becomes "cv50: <message>" and exit status 1.
template <typename Body>
int guarded(Body body) {
    try {
        return body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cv50: %s\n", e.what());
        return 1;
    }
}

}  // namespace cv50::cli
