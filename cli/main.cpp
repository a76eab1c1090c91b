// cv50: drives the engine from the command line, on players or on the simulator.
#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "engine/os/os.h"
#include "sim/scenario.h"
#include "sim/sim_os.h"

namespace {

// Puts the simulator named by --sim or CV50_SIM in place. Without either, the
// process keeps its default backend: the real one on Windows, the sample world elsewhere.
bool selectBackend(std::string scenarioFile) {
    if (scenarioFile.empty())
        if (const char* env = std::getenv("CV50_SIM")) scenarioFile = env;
    if (scenarioFile.empty()) return true;
    try {
        cv50::os::install(
            std::make_unique<cv50::sim::SimOs>(cv50::sim::loadScenarioFile(scenarioFile)));
        return true;
    } catch (const cv50::sim::ScenarioError& e) {
        std::cerr << "cv50: " << e.what() << "\n";
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"cv50: find, upgrade and repair CV50 players by USB port"};
    app.require_subcommand(1);
    std::string scenarioFile;
    app.add_option("--sim", scenarioFile,
                   "Simulated USB world (scenario JSON); default: $CV50_SIM, else the real USB "
                   "on Windows and a built-in sample world elsewhere");
    cv50::cli::Action action;
    cv50::cli::addListCommand(app, action);
    cv50::cli::addWaitCommand(app, action);
    cv50::cli::addLoaderCommand(app, action);
    cv50::cli::addImageCommand(app, action);
    cv50::cli::addFlashCommand(app, action);
    cv50::cli::addIdbCommand(app, action);
    cv50::cli::addSnCommand(app, action);
    cv50::cli::addDiskCommands(app, action);
    cv50::cli::addUpgradeCommand(app, action);
    cv50::cli::addSimVolumeCommand(app, action);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return cv50::cli::kExitBadInput;
    }
    if (!selectBackend(scenarioFile)) return cv50::cli::kExitBadInput;
    return action ? action() : cv50::cli::kExitOk;
}
