// The real Windows backend of the os seam.
#pragma once

#include <memory>

#include "engine/os/os.h"

namespace cv50::os {

std::unique_ptr<Os> makeWin32Os();

}  // namespace cv50::os
