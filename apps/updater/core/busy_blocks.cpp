#include "apps/updater/core/busy_blocks.h"

#include <algorithm>
#include <cmath>

namespace cv50::updater {

void BusyBlocks::setCount(int count) {
    count_ = std::max(count, 1);
    active_ = std::min(active_, count_ - 1);
}

void BusyBlocks::advance() {
    if (count_ == 1) return;
    if (active_ >= count_ - 1) direction_ = -1;
    if (active_ <= 0) direction_ = 1;
    active_ += direction_;
}

void BusyBlocks::reset() {
    active_ = 0;
    direction_ = 1;
}

namespace {

std::vector<BlockPaint> laidOut(int width, int count, int gap) {
    std::vector<BlockPaint> blocks;
    if (count < 1) return blocks;
    const double blockWidth = std::max(0.0, double(width - count * gap) / count);
    for (int i = 0; i < count; ++i) {
        const double left = i * (blockWidth + gap);
        blocks.push_back(
            {int(std::lround(left)), int(std::lround(left + blockWidth)), BlockState::Normal, 0});
    }
    return blocks;
}

}  // namespace

std::vector<BlockPaint> busyLayout(int width, int count, int gap, int active) {
    std::vector<BlockPaint> blocks = laidOut(width, count, gap);
    if (active >= 0 && active < int(blocks.size())) blocks[active].state = BlockState::Active;
    return blocks;
}

std::vector<BlockPaint> progressLayout(int width, int count, int gap, int active, int position,
                                       int range) {
    std::vector<BlockPaint> blocks = laidOut(width, count, gap);
    if (range <= 0 || blocks.empty()) return blocks;
    const double p = std::clamp(double(position + active) / range * count, 0.0, double(count));
    const int whole = int(p);
    for (int i = 0; i < whole; ++i) blocks[i].state = BlockState::Filled;
    if (whole < count && p > whole) {
        BlockPaint& b = blocks[whole];
        const int fill = int(std::lround((p - whole) * (b.right - b.left)));
        if (fill > 2) {
            b.state = BlockState::PartlyFilled;
            b.fillRight = b.left + fill - 1;
        }
    }
    return blocks;
}

}  // namespace cv50::updater
