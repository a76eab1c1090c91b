// Names of device kinds on the command line.
#pragma once

#include <optional>
#include <string>

#include "engine/device/records.h"

namespace cv50::cli {

const char* kindName(CV_DEVICE_TYPE type);
// "MaskRom", "Loader" or "Msc", in any case; nothing for anything else.
std::optional<CV_DEVICE_TYPE> parseKind(const std::string& text);

}  // namespace cv50::cli
