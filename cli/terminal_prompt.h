// The engine's OK/Cancel questions answered on the command line.
#pragma once

#include <iosfwd>

#include "engine/flash/user_prompt.h"

namespace cv50::cli {

// OK to every question when `yes`; otherwise each question is asked on `err` and answered
// by a line of `in` ("y" or "yes" is OK; anything else, or no line, is Cancel).
flash::PromptAnswerer terminalAnswerer(bool yes, std::istream& in, std::ostream& err);

}  // namespace cv50::cli
