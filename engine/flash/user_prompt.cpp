// The answerer of the engine's OK/Cancel questions.
#include "engine/flash/user_prompt.h"

#include <mutex>

#include "engine/os/os.h"

namespace cv50::flash {
namespace {

std::mutex& answererLock() {
    static std::mutex lock;
    return lock;
}

PromptAnswerer& installed() {
    static PromptAnswerer answerer;
    return answerer;
}

}  // namespace

bool AskOkCancel(const std::string& text, const std::string& caption) {
    PromptAnswerer answerer;
    {
        std::lock_guard guard(answererLock());
        answerer = installed();
    }
    if (answerer) return answerer(text, caption);
    return os::current().messageBox(text, caption, os::MessageButtons::OkCancel,
                                    os::MessageIcon::Information) == os::MessageAnswer::Ok;
}

PromptAnswerer SetPromptAnswerer(PromptAnswerer answerer) {
    std::lock_guard guard(answererLock());
    PromptAnswerer previous = std::move(installed());
    installed() = std::move(answerer);
    return previous;
}

}  // namespace cv50::flash
