#include "cli/device_kind.h"

#include "base/text.h"

namespace cv50::cli {

const char* kindName(CV_DEVICE_TYPE type) {
    switch (type) {
        case MaskRom:
            return "MaskRom";
        case Loader:
            return "Loader";
        case Msc:
            return "Msc";
        default:
            return "NoDevice";
    }
}

std::optional<CV_DEVICE_TYPE> parseKind(const std::string& text) {
    const std::string lower = base::lower(text);
    if (lower == "maskrom") return MaskRom;
    if (lower == "loader") return Loader;
    if (lower == "msc") return Msc;
    return std::nullopt;
}

}  // namespace cv50::cli
