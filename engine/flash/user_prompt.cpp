// The answerer of the engine's OK/Cancel questions.
#include "engine/flash/user_prompt.h"

#include "base/callback_slot.h"
#include "engine/os/os.h"

namespace cv50::flash {
namespace {

base::CallbackSlot<PromptAnswerer>& installed() {
    static base::CallbackSlot<PromptAnswerer> slot;
    return slot;
}

}  // namespace

bool AskOkCancel(const std::string& text, const std::string& caption) {
    // The question may wait long for its answer: the slot is not held meanwhile.
    if (const PromptAnswerer answerer = installed().get()) return answerer(text, caption);
    return os::current().messageBox(text, caption, os::MessageButtons::OkCancel,
                                    os::MessageIcon::Information) == os::MessageAnswer::Ok;
}

PromptAnswerer SetPromptAnswerer(PromptAnswerer answerer) {
    return installed().exchange(std::move(answerer));
}

}  // namespace cv50::flash
