// Keeping the players' flash in the scenario's state folder while the world runs, not only
// when it ends: a process that is killed leaves each player's flash as it was when the
// player last left the bus, or at most kKeepEveryMs of host time after its last change.
// Each file is replaced whole (sim/sparse_store.h), so the folder is always readable.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/nand_disk.h"
#include "sim/usb_world.h"

namespace cv50::sim {

class StateKeeper {
public:
    // How long a change of a player's flash may stay unkept, in host milliseconds.
    static constexpr unsigned kKeepEveryMs = 100;

    // "" keeps nothing.
    explicit StateKeeper(std::string folder) : folder_(std::move(folder)) {}
    bool keeps() const { return !folder_.empty(); }

    // The players' state as it is now counts as kept (it was just loaded).
    void started(const std::vector<std::shared_ptr<SimPlayer>>& players);
    // Keeps the players that changed since they were last kept: all of them, or only those
    // that left the bus since (a change of mode or a reset). Under the world's lock; takes
    // each player's flash lock.
    void keepChanged(const std::vector<std::shared_ptr<SimPlayer>>& players, bool onlyDeparted);

private:
    struct Kept {
        std::uint64_t nand = 0;
        std::optional<DiskLayout> layout;
        std::uint64_t plainDisk = 0;
        unsigned generation = 0;
        bool operator==(const Kept&) const = default;
    };
    static Kept stateOf(const SimPlayer& player);

    std::string folder_;
    std::map<const SimPlayer*, Kept> kept_;
};

}  // namespace cv50::sim
