// The --port option of the commands that act on one player.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "engine/device/records.h"

namespace cv50::cli {

// Empty when `text` fits a device record's Layer, else why it does not.
std::string layerProblem(const std::string& text);

// Adds a required "--port LAYER" whose text must fit a device record's Layer.
CLI::Option* addPortOption(CLI::App& command, std::string& layer);

// The disk (CorvMsc) on port `layer` as a device scan reports it, or nothing.
std::optional<DEVICE_INFO> diskOn(const std::string& layer);

}  // namespace cv50::cli
