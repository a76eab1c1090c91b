// cv50 flash: the flash of the loader device on one port, as the engine sees it.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "engine/device/port_walk.h"

namespace cv50::cli {

// The CorvUsb device (mask ROM or loader) on the port, or nothing.
std::optional<device::PortEntry> corvUsbOn(const std::string& layer);
// Its device path; when there is none, `command` says so on `err`.
std::optional<std::string> corvUsbPathOn(const std::string& layer, std::string_view command,
                                         std::ostream& err);

// Finds the CorvUsb device on port `layer`, reads its geometry, maps the bad blocks of
// chip 0 and plans the ID Block and reserved positions; prints text or JSON on `out`,
// problems on `err`. Returns the exit status.
int runFlashReport(const std::string& layer, bool json, std::ostream& out, std::ostream& err);

}  // namespace cv50::cli
