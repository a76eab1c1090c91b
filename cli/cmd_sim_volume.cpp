// cv50 sim-volume: a simulated player's disk volume saved as an image file, so the host's
// tools (mdir, fsck.fat) can look at what an upgrade left on it. Simulator only.
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/port_option.h"
#include "engine/os/os.h"
#include "sim/sim_os.h"

namespace cv50::cli {
namespace {

struct SimVolumeOptions {
    std::string layer, output;
};

int runSimVolume(const SimVolumeOptions& o) {
    auto* sim = dynamic_cast<sim::SimOs*>(&os::current());
    if (sim == nullptr) {
        std::cerr << "cv50 sim-volume: only a simulated world has volumes to save (--sim)\n";
        return kExitBadInput;
    }
    std::string error;
    if (!sim->saveVolumeImageOfLayer(o.layer, o.output, error)) {
        std::cerr << "cv50 sim-volume: " << error << "\n";
        return kExitFailed;
    }
    std::cout << "Volume of the player on port " << o.layer << " saved to " << o.output << "\n";
    return kExitOk;
}

}  // namespace

void addSimVolumeCommand(CLI::App& app, Action& action) {
    auto o = std::make_shared<SimVolumeOptions>();
    CLI::App* c = app.add_subcommand(
        "sim-volume", "Save a simulated player's disk volume as an image file (simulator only)");
    addPortOption(*c, o->layer);
    c->add_option("output", o->output, "Image file to write")->required();
    c->callback([o, &action] { action = [o] { return runSimVolume(*o); }; });
}

}  // namespace cv50::cli
