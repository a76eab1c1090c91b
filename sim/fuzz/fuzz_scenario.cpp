// libFuzzer target: any bytes as a scenario file. Parsing either gives a scenario or throws
// ScenarioError naming the source; nothing else may escape, crash or hang, however deep or
// large the JSON. A scenario that parses is built into its world, as cv50 --sim does
// (unless it names a state folder, which would write the fuzzer's files anywhere).
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/scenario.h"
#include "sim/sim_os.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const cv50::sim::Scenario s = cv50::sim::parseScenario(text, "fuzz.json");
        if (s.speed <= 0) __builtin_trap();
        if (s.stateFolder.empty()) cv50::sim::SimOs world(s);
    } catch (const cv50::sim::ScenarioError& e) {
        if (std::string(e.what()).rfind("fuzz.json: ", 0) != 0) __builtin_trap();
    }
    return 0;
}
