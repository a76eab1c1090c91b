// A one-line text progress bar, redrawn only when its shown percentage changes.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace cv50::cli {

class ProgressBar {
public:
    explicit ProgressBar(std::ostream& out) : out_(out) {}
    // Shows `done` of `total` bytes under `label`; a new label starts a new line.
    void update(const std::string& label, std::uint64_t done, std::uint64_t total);
    // Ends the current line, if any.
    void finish();

private:
    std::ostream& out_;
    std::string label_;
    int shown_ = -1;  // percentage on screen
};

}  // namespace cv50::cli
