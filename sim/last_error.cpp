#include "sim/last_error.h"

namespace cv50::sim {
namespace {

thread_local std::uint32_t threadLastError = 0;

}  // namespace

void setLastError(std::uint32_t code) { threadLastError = code; }

std::uint32_t lastErrorOfThread() { return threadLastError; }

}  // namespace cv50::sim
