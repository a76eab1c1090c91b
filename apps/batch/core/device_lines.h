// The engine's own log lines written during one device's step begin with its Layer, as the
// station's lines do, so that sixteen devices' lines can be told apart.
#pragma once

#include <string>
#include <utility>

#include "engine/device/log.h"

namespace cv50::batch {

template <class Step>
auto withDeviceLines(const std::string& layer, Step&& step) {
    log::ScopedLinePrefix prefix("<Layer:" + layer + "> ");
    return std::forward<Step>(step)();
}

}  // namespace cv50::batch
