#include "cli/interrupt.h"

#include <csignal>

namespace cv50::cli {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void onInterrupt(int) {
    interrupted.store(true);
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

const std::atomic<bool>& interruptFlag() { return interrupted; }

void catchInterrupt() { std::signal(SIGINT, onInterrupt); }

}  // namespace cv50::cli
