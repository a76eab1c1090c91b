// Ctrl-C for the commands that run until interrupted: the first one sets a flag the command
// watches, so it ends cleanly; a second one ends the process as usual.
#pragma once

#include <atomic>

namespace cv50::cli {

// The flag, set by SIGINT once catchInterrupt() is in place.
const std::atomic<bool>& interruptFlag();
void catchInterrupt();

}  // namespace cv50::cli
