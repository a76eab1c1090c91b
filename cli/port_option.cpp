// The --port option and the disk on a port.
#include "cli/port_option.h"

#include <cstring>

#include "engine/api/search_exports.h"
#include "engine/device/port_walk.h"
#include "engine/device/search.h"

namespace cv50::cli {

std::string layerProblem(const std::string& text) {
    if (!text.empty() && text.size() <= device::kMaxLayerLength) return {};
    return "a Layer has 1 to " + std::to_string(device::kMaxLayerLength) + " characters";
}

CLI::Option* addPortOption(CLI::App& command, std::string& layer) {
    return command.add_option("--port", layer, "The port (Layer), e.g. 1-3-2")
        ->required()
        ->check(layerProblem);
}

std::optional<DEVICE_INFO> diskOn(const std::string& layer) {
    SEARCH_RESULT found{};
    ScanCorvMsc_All(&found);
    for (int i = 0; i < found.count; ++i)
        if (layer == found.devices[i].layer) return found.devices[i];
    return std::nullopt;
}

}  // namespace cv50::cli
