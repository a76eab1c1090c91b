#include "cli/upgrade_listener.h"

#include <optional>
#include <utility>

namespace cv50::cli {
namespace {

using api::ProgressStep;
using batch::Line;

// The step each station line begins; the lines inside a step begin none.
constexpr std::pair<Line, ProgressStep> kStepStarts[] = {
    {Line::UpgradeStart, ProgressStep::Upgrade},   {Line::BootStart, ProgressStep::DownloadBoot},
    {Line::TestStart, ProgressStep::TestDevice},   {Line::IdBlockStart, ProgressStep::WriteIdBlock},
    {Line::ResetStart, ProgressStep::Reset},       {Line::StageOneDone, ProgressStep::WaitLoader},
    {Line::ImageStart, ProgressStep::DownloadImage},
    {Line::ResetFlagStart, ProgressStep::SetResetFlag},
    {Line::DemoDiskStart, ProgressStep::WaitDisk}, {Line::FormatStart, ProgressStep::Format},
    {Line::CopyStart, ProgressStep::CopyData},
};

std::optional<ProgressStep> stepOf(Line line) {
    for (const auto& [start, step] : kStepStarts)
        if (start == line) return step;
    return std::nullopt;
}

}  // namespace

void UpgradeListener::reportLocked(const std::string& layer, ProgressStep step, std::uint64_t done,
                                   std::uint64_t total) {
    view_.report(api::Progress{layer, step, done, total});
}

void UpgradeListener::line(int slot, const std::string& layer, Line line, int) {
    std::lock_guard lock(mutex_);
    auto it = players_.find(slot);
    if (it != players_.end() && line == Line::IdBlockDone) it->second.serialWritten = true;
    const std::optional<ProgressStep> step = stepOf(line);
    if (!step) return;
    if (it != players_.end()) it->second.step = *step;
    reportLocked(layer, *step);
}

void UpgradeListener::slotFailed(int slot, batch::SlotStatus, const std::string& reason) {
    std::lock_guard lock(mutex_);
    auto it = players_.find(slot);
    if (it == players_.end()) return;
    PlayerRecord& p = it->second;
    if (!p.failed) {
        p.failed = true;
        p.failedStep = api::progressStepName(p.step);
        p.message = reason;
    }
    reportLocked(p.layer, ProgressStep::Failed);
}

void UpgradeListener::imageProgress(int slot, bool verifying, std::uint64_t done,
                                    std::uint64_t total) {
    std::lock_guard lock(mutex_);
    auto it = players_.find(slot);
    if (it == players_.end() || total == 0) return;
    // The write and its check are one step of twice the image's bytes.
    reportLocked(it->second.layer, ProgressStep::DownloadImage, verifying ? total + done : done,
                 2 * total);
}

void UpgradeListener::postStageDone(batch::StageMessage message, int slot, bool failed) {
    std::lock_guard lock(mutex_);
    stageDone_.push_back(StageDone{message, slot, failed});
}

void UpgradeListener::begin(int slot, PlayerRecord record) {
    std::lock_guard lock(mutex_);
    players_[slot] = std::move(record);
}

void UpgradeListener::gaveSerial(int slot, const std::string& serial) {
    std::lock_guard lock(mutex_);
    auto it = players_.find(slot);
    if (it != players_.end()) it->second.serial = serial;
}

void UpgradeListener::report(const std::string& layer, ProgressStep step) {
    std::lock_guard lock(mutex_);
    reportLocked(layer, step);
}

std::optional<StageDone> UpgradeListener::takeStageDone() {
    std::lock_guard lock(mutex_);
    if (stageDone_.empty()) return std::nullopt;
    StageDone next = stageDone_.front();
    stageDone_.pop_front();
    return next;
}

PlayerRecord UpgradeListener::record(int slot) const {
    std::lock_guard lock(mutex_);
    const auto it = players_.find(slot);
    return it == players_.end() ? PlayerRecord{} : it->second;
}

}  // namespace cv50::cli
