#include "apps/batch/core/stage_gate.h"

namespace cv50::batch {

void StageGate::add(int count) {
    std::lock_guard lock(mutex_);
    count_ += count;
}

void StageGate::release() {
    std::lock_guard lock(mutex_);
    if (count_ <= 0) return;
    if (--count_ == 0 && !openedThisBatch_) {
        open_ = true;
        openedThisBatch_ = true;
        opened_.notify_all();
    }
}

bool StageGate::wait() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return open_ || abandoned_; });
    return !abandoned_;
}

void StageGate::reset() {
    std::lock_guard lock(mutex_);
    count_ = 0;
    open_ = false;
    openedThisBatch_ = false;
}

void StageGate::abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    opened_.notify_all();
}

int StageGate::count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

bool StageGate::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

}  // namespace cv50::batch
