// Tests: a simulated world installed as the process backend for one scope.
#pragma once

#include <memory>
#include <string>

#include "engine/os/os.h"
#include "sim/scenario.h"
#include "sim/sim_os.h"
#include "sim/testing/scenario_builder.h"
#include "sim/testing/test_files.h"

namespace cv50::sim::testing {

class ScopedSim {
public:
    explicit ScopedSim(const ScenarioBuilder& scenario) : ScopedSim(scenario.text()) {}
    explicit ScopedSim(const std::string& scenarioJson) {
        auto sim = std::make_unique<SimOs>(parseScenario(scenarioJson, "test scenario"));
        sim_ = sim.get();
        previous_ = os::install(std::move(sim));
    }
    ~ScopedSim() { os::install(std::move(previous_)); }
    ScopedSim(const ScopedSim&) = delete;
    ScopedSim& operator=(const ScopedSim&) = delete;

    SimOs& sim() { return *sim_; }

private:
    SimOs* sim_ = nullptr;
    std::unique_ptr<os::Os> previous_;
};

}  // namespace cv50::sim::testing
