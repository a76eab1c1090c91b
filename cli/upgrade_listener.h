// What the station tells cv50 upgrade: its progress lines become the per-port progress view,
// its failures the players' results, and its stage messages are queued for the thread that
// runs the station (the command's own thread), which hands them back.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "apps/batch/core/station.h"
#include "cli/upgrade_view.h"
#include "engine/api/progress.h"

namespace cv50::cli {

// One player's road as the listener hears it.
struct PlayerRecord {
    std::string layer;
    std::string mode;    // as it was found
    std::string serial;  // given to it for its ID Block
    bool serialWritten = false;
    api::ProgressStep step = api::ProgressStep::Upgrade;
    bool failed = false;
    std::string failedStep;  // the step it was in when it failed
    std::string message;     // its first error
    std::uint64_t startMs = 0;
};

struct StageDone {
    batch::StageMessage message;
    int slot;
    bool failed;
};

class UpgradeListener : public batch::StationListener {
public:
    explicit UpgradeListener(PortProgressView& view) : view_(view) {}

    void line(int slot, const std::string& layer, batch::Line line, int value) override;
    void cellColour(int, std::uint32_t) override {}
    void cellText(int, const std::string&) override {}
    void cellBlink(int, bool) override {}
    void layerText(int, const std::string&) override {}
    void slotFailed(int slot, batch::SlotStatus status, const std::string& reason) override;
    void imageProgress(int slot, bool verifying, std::uint64_t done, std::uint64_t total) override;
    void postStageDone(batch::StageMessage message, int slot, bool failed) override;
    void batchEnded(int, int) override {}

    // The command's thread. A player starts on `slot` (the slot's earlier player is gone).
    void begin(int slot, PlayerRecord record);
    // The player of `slot` got `serial` for its ID Block.
    void gaveSerial(int slot, const std::string& serial);
    // One step of a player that has no slot yet (a disk being switched).
    void report(const std::string& layer, api::ProgressStep step);
    // The next stage message, if one is waiting.
    std::optional<StageDone> takeStageDone();
    PlayerRecord record(int slot) const;

private:
    void reportLocked(const std::string& layer, api::ProgressStep step, std::uint64_t done = 0,
                      std::uint64_t total = 0);

    PortProgressView& view_;
    mutable std::mutex mutex_;
    std::map<int, PlayerRecord> players_;
    std::deque<StageDone> stageDone_;
};

}  // namespace cv50::cli
