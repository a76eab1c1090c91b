// The image exports: loader extraction, check value, versions and sizes.
#include "engine/api/export_guard.h"
#include "engine/api/exports.h"
#include "engine/flash/image_check.h"
#include "engine/flash/loader_file.h"

namespace {

std::string text(const char* s) { return s != nullptr ? s : ""; }

}  // namespace

using cv50::api::Guarded;

extern "C" {

int ExtractLoaderFile(char* imagePath, char* outFile) {
    return Guarded("ExtractLoaderFile", 0, [&] {
        if (imagePath == nullptr || outFile == nullptr) return 0;
        return cv50::flash::extractLoaderFile(imagePath, outFile) ? 1 : 0;
    });
}

int CVCheckImage(char* imagePath) {
    return Guarded("CVCheckImage", 0,
                   [&] { return cv50::flash::checkImage(text(imagePath)) ? 1 : 0; });
}

int CVGetVersionFromImage(char* imagePath, char* loaderFile, _CORV_VERSION* out) {
    return Guarded("CVGetVersionFromImage", 0, [&] {
        if (out == nullptr) return 0;
        return cv50::flash::versionFromImage(text(imagePath), text(loaderFile), *out) ? 1 : 0;
    });
}

}  // extern "C"

int CV_GetLoaderVersion(char* imagePath, unsigned short& high, unsigned short& low) {
    return Guarded("CV_GetLoaderVersion", 0, [&] {
        return cv50::flash::loaderVersionOfImage(text(imagePath), high, low) ? 1 : 0;
    });
}

int CV_GetSystemVersion(char* imagePath, unsigned short& high, unsigned short& low) {
    return Guarded("CV_GetSystemVersion", 0, [&] {
        return cv50::flash::systemVersionOfImage(text(imagePath), high, low) ? 1 : 0;
    });
}

int CV_GetDiskSize(char* imagePath, unsigned int& systemDiskMB, unsigned int& configDiskMB) {
    return Guarded("CV_GetDiskSize", -1, [&] {
        return cv50::flash::diskSizesOfImage(text(imagePath), systemDiskMB, configDiskMB);
    });
}

int CV_GetImageSize(char* imagePath, unsigned int& sizeMB) {
    return Guarded("CV_GetImageSize", 0,
                   [&] { return cv50::flash::imageSizeMB(text(imagePath), sizeMB) ? 1 : 0; });
}
