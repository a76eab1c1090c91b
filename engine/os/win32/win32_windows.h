// The real window calls behind the os seam (Windows only): listing other programs' windows,
// reading their texts, closing them and pressing their buttons; and library strings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/os/os.h"

namespace cv50::os::win32 {

std::optional<std::vector<Window>> topLevelWindows();
std::vector<Window> childWindows(Window parent);
std::string windowText(Window window);
void closeWindow(Window window);
void clickButton(Window window);
std::optional<std::string> resourceString(Handle library, unsigned id);

}  // namespace cv50::os::win32
