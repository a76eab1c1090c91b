// Looking for the loader file in a package.
#include "fwpkg/package_loader.h"

#include <cstring>
#include <vector>

#include "base/text.h"

namespace cv50::fwpkg {
namespace {

bool isLoaderName(const std::string& name) { return base::equalNoCase(name, kLoaderName); }

bool isLoader(const FatEntry& e) {
    return !e.directory && (isLoaderName(e.name) || isLoaderName(e.shortName));
}

}  // namespace

std::string findLoaderPath(FatVolume& volume) {
    std::vector<FatEntry> top;
    if (volume.list(volume.root(), top) != FatError::Ok) return {};
    for (const FatEntry& e : top)
        if (isLoader(e)) return e.name;
    for (const FatEntry& dir : top) {
        if (!dir.directory) continue;
        std::vector<FatEntry> inner;
        if (volume.list(dir, inner) != FatError::Ok) continue;
        for (const FatEntry& e : inner)
            if (isLoader(e)) return dir.name + "\\" + e.name;
    }
    return {};
}

}  // namespace cv50::fwpkg
