// The OK/Cancel questions the engine asks while it writes an ID Block. They go to an
// answerer that a host may install (a test, the command line's --yes); without one the
// os seam asks the user.
#pragma once

#include <functional>
#include <string>

#include "base/callback_slot.h"

namespace cv50::flash {

using PromptAnswerer = std::function<bool(const std::string& text, const std::string& caption)>;

// True when the question was answered OK.
[[nodiscard]] bool AskOkCancel(const std::string& text, const std::string& caption);

// Installs `answerer` for the whole process (an empty one restores the os seam) and
// returns the previous one.
PromptAnswerer SetPromptAnswerer(PromptAnswerer answerer);

// Installs an answerer for its lifetime and puts the previous one back.
using ScopedPromptAnswerer = base::ScopedCallback<PromptAnswerer, &SetPromptAnswerer>;

}  // namespace cv50::flash
