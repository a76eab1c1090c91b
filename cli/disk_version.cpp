#include "cli/disk_version.h"

#include <cstdio>
#include <cstring>

#include "cli/port_option.h"
#include "engine/api/md_exports.h"

namespace cv50::cli {
namespace {

std::string versionText(std::uint16_t high, std::uint16_t low) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x.%04x", high, low);
    return text;
}

}  // namespace

std::optional<DiskVersions> readDiskVersions(const std::string& layer, std::string& problem) {
    auto disk = diskOn(layer);
    if (!disk) {
        problem = "no disk (CorvMsc) on port " + layer;
        return std::nullopt;
    }
    return readDiskVersions(*disk, problem);
}

std::optional<DiskVersions> readDiskVersions(DEVICE_INFO disk, std::string& problem) {
    SEARCH_RESULT list{1, &disk};
    _CORV_VERSION version{};
    ERROR_LIST errors{};
    if (!MD_GetDeviceVersion(&list, &version, &errors)) {
        problem = errors.count > 0 && errors.errors
                      ? std::string(errors.errors[0].text,
                                    strnlen(errors.errors[0].text, sizeof errors.errors[0].text))
                      : "the versions could not be read";
        return std::nullopt;
    }
    return DiskVersions{versionText(version.loaderHigh, version.loaderLow),
                        versionText(version.systemHigh, version.systemLow)};
}

}  // namespace cv50::cli
