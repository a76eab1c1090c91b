#include "sim/desktop.h"

namespace cv50::sim {

os::Window SimDesktop::open(const std::string& title, const std::vector<Control>& controls) {
    const os::Window top = next_;
    next_ += 4;
    windows_[top] = Entry{0, title, false, 0};
    for (const Control& c : controls) {
        windows_[next_] = Entry{top, c.text, c.button, 0};
        next_ += 4;
    }
    return top;
}

bool SimDesktop::close(os::Window window) {
    const auto it = windows_.find(window);
    if (it == windows_.end() || it->second.parent != 0) return false;
    for (auto c = windows_.begin(); c != windows_.end();)
        c = c->second.parent == window ? windows_.erase(c) : std::next(c);
    windows_.erase(window);
    return true;
}

bool SimDesktop::click(os::Window window) {
    const auto it = windows_.find(window);
    if (it == windows_.end() || !it->second.button) return false;
    ++it->second.clicks;
    return true;
}

std::vector<os::Window> SimDesktop::topLevel() const {
    std::vector<os::Window> out;
    for (const auto& [w, e] : windows_)
        if (e.parent == 0) out.push_back(w);
    return out;
}

std::vector<os::Window> SimDesktop::children(os::Window parent) const {
    std::vector<os::Window> out;
    for (const auto& [w, e] : windows_)
        if (e.parent == parent && parent != 0) out.push_back(w);
    return out;
}

std::optional<std::string> SimDesktop::text(os::Window window) const {
    const auto it = windows_.find(window);
    if (it == windows_.end()) return std::nullopt;
    return it->second.text;
}

int SimDesktop::clicks(os::Window control) const {
    const auto it = windows_.find(control);
    return it == windows_.end() ? 0 : it->second.clicks;
}

os::Window SimDesktop::find(const std::string& title) const {
    for (const auto& [w, e] : windows_)
        if (e.parent == 0 && e.text == title) return w;
    return 0;
}

}  // namespace cv50::sim
