// The engineering tool's log: one operation for every line, which goes to the dated log file
// when the file is on and to the log window when DEBUGLEVEL is at least the line's level.
#pragma once

#include <mutex>
#include <string>

#include "apps/engineering/core/view.h"

namespace cv50::engineering {

// Level 0 lines are the progress of a run, 2 hex dumps, 3 device paths and thread ends.
inline constexpr int kLevelProgress = 0;
inline constexpr int kLevelEngine = 1;  // the engine's own lines
inline constexpr int kLevelDetail = 3;

class ToolLog {
public:
    explicit ToolLog(View& view) : view_(view) {}

    void setDebugLevel(int level);
    // printf-style, cut to 1023 characters.
    void line(int level, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;
    // The banners go to the file only; some lines go to the window only.
    void banner(const char* text);
    void windowOnly(const std::string& text);
    // A progress line that replaces the previous progress line in place; window only.
    void progress(const std::string& text);
    // A line of the engine, which wrote it to the file itself.
    void engineLine(const std::string& text);

private:
    void toWindow(int level, const std::string& text);

    View& view_;
    std::mutex mutex_;
    int debugLevel_ = 1;
    bool lastWasProgress_ = false;
};

}  // namespace cv50::engineering
