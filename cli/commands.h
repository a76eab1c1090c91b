// The subcommands of cv50. Each registers itself on the app and runs the engine; the
// command line never re-implements an engine step.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace cv50::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadInput = 2;

// What a parsed command line will do once the backend is in place; returns the exit status.
using Action = std::function<int()>;

void addListCommand(CLI::App& app, Action& action);
void addWaitCommand(CLI::App& app, Action& action);
void addLoaderCommand(CLI::App& app, Action& action);
void addImageCommand(CLI::App& app, Action& action);
void addFlashCommand(CLI::App& app, Action& action);
void addIdbCommand(CLI::App& app, Action& action);
void addSnCommand(CLI::App& app, Action& action);
// version, switch and format: a player running as a disk.
void addDiskCommands(CLI::App& app, Action& action);
void addUpgradeCommand(CLI::App& app, Action& action);
void addSimVolumeCommand(CLI::App& app, Action& action);
// image write, under the image command.
void addImageWriteCommand(CLI::App& image, Action& action);

}  // namespace cv50::cli
