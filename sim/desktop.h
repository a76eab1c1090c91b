// The simulated PC's windows that belong to other programs: the system's new-hardware and
// driver-signing dialogs, each a title and child controls with their texts. Not
// thread-safe by itself; SimOs serialises access.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/os/os.h"

namespace cv50::sim {

class SimDesktop {
public:
    struct Control {
        std::string text;
        bool button = false;
    };

    // Opens a top-level window with its controls; returns its handle.
    os::Window open(const std::string& title, const std::vector<Control>& controls);
    // Closes a window and its controls; false when `window` is not an open top-level window.
    bool close(os::Window window);
    // A click on a button: counted; false when `window` is no button that is open.
    bool click(os::Window window);

    std::vector<os::Window> topLevel() const;
    std::vector<os::Window> children(os::Window parent) const;
    // The text of an open window or control; nothing for one that is gone.
    std::optional<std::string> text(os::Window window) const;
    bool isOpen(os::Window window) const { return windows_.count(window) != 0; }
    // How often the control was clicked; 0 once it is gone.
    int clicks(os::Window control) const;
    // The open top-level window whose title is `title`, or 0.
    os::Window find(const std::string& title) const;

private:
    struct Entry {
        os::Window parent = 0;
        std::string text;
        bool button = false;
        int clicks = 0;
    };
    std::map<os::Window, Entry> windows_;
    // Window handles are multiples of 4 and never reused, as the system's are.
    os::Window next_ = 0x10004;
};

}  // namespace cv50::sim
