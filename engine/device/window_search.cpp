#include "engine/device/window_search.h"

#include <algorithm>

#include "engine/os/os.h"

namespace cv50::device {
namespace {

// A window match record: a text, whether a child holding it was found, and that child.
struct Match {
    std::string text;
    bool found = false;
    os::Window child = 0;
};

std::vector<Match> matchesOf(const std::vector<std::string>& texts) {
    std::vector<Match> matches;
    for (const std::string& text : texts) {
        if (text.empty() || matches.size() == kMaxWindowMatches) break;
        matches.push_back(Match{text});
    }
    return matches;
}

}  // namespace

WindowRound SearchWindowsOnce(const WindowSearch& search, WindowAction action) {
    std::vector<Match> matches = matchesOf(search.childTexts);
    if (search.title.empty() || matches.empty()) return WindowRound::NotFound;
    os::Os& sys = os::current();
    const auto windows = sys.topLevelWindows();
    if (!windows) return WindowRound::EnumerationFailed;
    for (const os::Window window : *windows) {
        if (sys.windowText(window) != search.title) continue;
        // Each window is judged by its own children only.
        for (Match& m : matches) m = Match{m.text};
        for (const os::Window child : sys.childWindows(window)) {
            const std::string text = sys.windowText(child);
            for (Match& m : matches)
                if (!m.found && text.find(m.text) != std::string::npos) {
                    m.found = true;
                    m.child = child;
                }
        }
        if (!std::all_of(matches.begin(), matches.end(), [](const Match& m) { return m.found; }))
            continue;
        if (action == WindowAction::Close)
            sys.closeWindow(window);
        else
            sys.clickButton(matches.front().child);
        return WindowRound::Done;
    }
    return WindowRound::NotFound;
}

}  // namespace cv50::device
