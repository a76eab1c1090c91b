// The driver's commands: what each takes and does, over one session of a run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/uidriver/window_access.h"

namespace cv50ui {

struct Session {
    HWND window = nullptr;      // the window that `window` chose
    HWND messageBox = nullptr;  // the box that `msgbox` found
    DWORD timeoutMs = 10000;
    std::function<void(const std::wstring&)> print;  // one line of output
};

struct Command {
    const char* name;
    // Its arguments, by kind: ID, TEXT, TITLE, SECONDS, X, Y, COLOUR, STATE, BUTTON, CHECK.
    std::vector<const char*> arguments;
    const char* help;
    void (*run)(Session&, const std::vector<std::wstring>& args);
};

const std::vector<Command>& allCommands();
const Command* findCommand(const std::string& name);

// Empty when `value` fits the argument kind, else what is wrong with it.
std::string checkArgument(const char* kind, const std::wstring& value);

}  // namespace cv50ui
