// Text progress bar.
#include "cli/progress_bar.h"

#include <cstdio>
#include <ostream>

namespace cv50::cli {

void ProgressBar::update(const std::string& label, std::uint64_t done, std::uint64_t total) {
    if (label != label_) {
        finish();
        label_ = label;
    }
    const int percent = total == 0 ? 0 : static_cast<int>(done >= total ? 100 : done * 100 / total);
    if (percent == shown_) return;
    shown_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    const bool large = total >= (1u << 20);
    const double unit = large ? (1u << 20) : (1u << 10);
    char line[160];
    std::snprintf(line, sizeof line, "\r%-8s [%s%s] %3d%%  %.1f / %.1f %s", label.c_str(),
                  std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(kWidth - filled), '.').c_str(), percent,
                  static_cast<double>(done) / unit, static_cast<double>(total) / unit,
                  large ? "MiB" : "KiB");
    out_ << line << std::flush;
}

void ProgressBar::finish() {
    if (shown_ >= 0) out_ << "\n";
    shown_ = -1;
    label_.clear();
}

}  // namespace cv50::cli
