// The block bar of the updater's busy control: which block lights up next, and where each
// block is drawn. Portable; the control in win32/ animates and paints it.
#pragma once

#include <vector>

namespace cv50::updater {

// Busy mode: one lit block that runs to the last block and back, 0, 1, ..., n-1, n-2, ..., 0,
// 1, ...; it never leaves the bar, whatever the count.
class BusyBlocks {
public:
    explicit BusyBlocks(int count = 10) { setCount(count); }

    // At least one block; a lit block beyond the new count moves to the last one.
    void setCount(int count);
    int count() const { return count_; }
    int active() const { return active_; }
    // The next step of the animation.
    void advance();
    // Back at the first block, running forward.
    void reset();

private:
    int count_ = 1;
    int active_ = 0;
    int direction_ = 1;
};

enum class BlockState { Normal, Active, Filled, PartlyFilled };

// One block: its columns [left, right) in the control, and for a partly filled one the
// column its fill ends at (inset by a pixel within the block).
struct BlockPaint {
    int left = 0, right = 0;
    BlockState state = BlockState::Normal;
    int fillRight = 0;
};

// The blocks of a bar `width` pixels wide, `count` blocks `gap` pixels apart. Busy mode
// lights `active`; progress mode fills (position + active) / range of the bar (nothing when
// the range is 0).
std::vector<BlockPaint> busyLayout(int width, int count, int gap, int active);
std::vector<BlockPaint> progressLayout(int width, int count, int gap, int active, int position,
                                       int range);

}  // namespace cv50::updater
