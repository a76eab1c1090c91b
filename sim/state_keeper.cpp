#include "sim/state_keeper.h"

#include <mutex>

#include "sim/player_state.h"

namespace cv50::sim {

StateKeeper::Kept StateKeeper::stateOf(const SimPlayer& player) {
    const LoaderMedia& media = *player.media;
    return {media.nand.revision(), media.disk.layout(), media.plainUserDisk.revision(),
            player.generation};
}

void StateKeeper::started(const std::vector<std::shared_ptr<SimPlayer>>& players) {
    if (!keeps()) return;
    for (const auto& p : players) {
        std::lock_guard flash(p->media->flashMutex);
        kept_[p.get()] = stateOf(*p);
    }
}

void StateKeeper::keepChanged(const std::vector<std::shared_ptr<SimPlayer>>& players,
                              bool onlyDeparted) {
    if (!keeps()) return;
    for (const auto& p : players) {
        Kept& kept = kept_[p.get()];
        if (onlyDeparted && kept.generation == p->generation) continue;
        std::lock_guard flash(p->media->flashMutex);
        const Kept now = stateOf(*p);
        if (now == kept) continue;
        Kept contents = now;
        contents.generation = kept.generation;
        // A departure alone changes nothing on the flash.
        if (contents != kept) savePlayerState(*p, folder_);
        kept = now;
    }
}

}  // namespace cv50::sim
