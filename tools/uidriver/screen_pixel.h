// Colours as they are on the screen, where a script's screenshot sees them too.
#pragma once

#include <string>

#include "tools/uidriver/window_access.h"

namespace cv50ui {

// The colour at a point of the screen, as #RRGGBB.
std::string screenColour(POINT screen);

}  // namespace cv50ui
