#include "apps/updater/core/driver_library.h"

namespace cv50::updater {

DriverLibrary& driverLibrary() {
    static DriverLibrary library{[] { return 0; }, [](char*) { return 2; }};
    return library;
}

}  // namespace cv50::updater
