// Finding one of the system's dialogs among the top-level windows by its texts, and closing
// it or pressing one of its buttons: how the driver installation deals with the
// new-hardware windows and the driver-signing question.
#pragma once

#include <string>
#include <vector>

namespace cv50::device {

// At most this many child texts take part in one search.
inline constexpr std::size_t kMaxWindowMatches = 10;

// A top-level window whose text is exactly `title` and whose child windows contain every
// one of `childTexts` (each inside some child's text). The texts count up to the first
// empty one.
struct WindowSearch {
    std::string title;
    std::vector<std::string> childTexts;
};

enum class WindowAction {
    Close,       // WM_CLOSE to the window
    ClickChild,  // BM_CLICK to the child that holds the first text
};

enum class WindowRound { NotFound, Done, EnumerationFailed };

// One pass over the top-level windows; the first window that matches gets `action` and
// ends the pass. A search without a title or without any child text matches nothing, so
// a string the system does not have can never select some other window.
WindowRound SearchWindowsOnce(const WindowSearch& search, WindowAction action);

}  // namespace cv50::device
