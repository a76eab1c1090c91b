#include "apps/batch/core/texts.h"

#include <cstdio>

namespace cv50::batch::text {

std::string withCode(const char* format, int code) {
    char out[256];
    std::snprintf(out, sizeof out, format, code);
    return out;
}

}  // namespace cv50::batch::text
