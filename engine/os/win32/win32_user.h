// The real message box behind the os seam (Windows only); the simulator shows it too.
#pragma once

#include <string>

#include "engine/os/os.h"

namespace cv50::os::win32 {

MessageAnswer showMessageBox(const std::string& text, const std::string& caption,
                             MessageButtons buttons, MessageIcon icon);

}  // namespace cv50::os::win32
