// The device monitor: a pass every 200 ms, each under the port-table lock from start to
// end. It binds arriving devices to slots, marks dropped ones, hands a device that came
// back after its reset to the next worker, and fails a slot whose device did not come back.
#include <algorithm>
#include <cstring>

#include "apps/batch/core/station.h"
#include "apps/batch/core/texts.h"
#include "engine/device/log.h"
#include "engine/os/os.h"

namespace cv50::batch {
namespace {

std::uint32_t kindColour(CV_DEVICE_TYPE type) {
    switch (type) {
        case MaskRom:
            return colour::kMaskRom;
        case Loader:
            return colour::kLoader;
        default:
            return colour::kMsc;
    }
}

bool sameLayer(const DEVICE_INFO& a, const DEVICE_INFO& b) {
    return std::strcmp(a.layer, b.layer) == 0;
}

}  // namespace

void Station::monitorLoop() {
    os::Os& sys = os::current();
    while (!stopping_) {
        monitorPass();
        ++passes_;
        sys.sleepMs(kMonitorPassMs);
    }
    monitorEnded_ = true;
}

void Station::monitorPass() {
    std::lock_guard lock(table_);
    std::vector<DEVICE_INFO> found = device::FindPlayers(config_.walk).players;
    if (!config_.ports.empty())
        std::erase_if(found, [&](const DEVICE_INFO& d) {
            return std::find(config_.ports.begin(), config_.ports.end(), d.layer) ==
                   config_.ports.end();
        });
    const std::uint32_t now = tick();
    const auto waited = [&](const PortSlot& s, std::uint32_t limit) {
        return static_cast<std::uint32_t>(now - s.resetTick) >= limit;
    };

    for (int i = 0; i < kSlots; ++i) {
        PortSlot& s = slots_[static_cast<std::size_t>(i)];
        if (s.absent || std::any_of(found.begin(), found.end(), [&](const DEVICE_INFO& d) {
                return sameLayer(d, s.device);
            }))
            continue;
        Log(text::kDropped, s.device.layer);
        s.absent = true;
        listener_.cellColour(i, colour::kAbsent);
        if (s.status == SlotStatus::Idle) listener_.layerText(i, "");
    }

    for (const DEVICE_INFO& entry : found) {
        int matched = -1, free = -1;
        for (int i = 0; i < kSlots && matched < 0; ++i) {
            const PortSlot& s = slots_[static_cast<std::size_t>(i)];
            const bool bound = !s.absent || s.status != SlotStatus::Idle;
            if (bound && sameLayer(s.device, entry)) matched = i;
            if (!bound && free < 0) free = i;
        }
        if (matched < 0) {
            // More than 16 devices: the others wait for a slot to become free.
            if (free < 0) continue;
            Log(text::kNewDevice, entry.layer);
            PortSlot& s = slots_[static_cast<std::size_t>(free)];
            s = PortSlot{};
            s.absent = false;
            s.device = entry;
            listener_.cellColour(free, kindColour(entry.type));
            listener_.layerText(free, entry.layer);
            continue;
        }

        const int j = matched;
        PortSlot& s = slots_[static_cast<std::size_t>(j)];
        if (s.absent) {
            s.absent = false;
            listener_.cellColour(j, kindColour(s.device.type));
            if (s.status == SlotStatus::WaitLoader || s.status == SlotStatus::WaitMsc) {
                s.reconnected = true;
                Log(text::kReconnected, static_cast<int>(now - s.resetTick));
            }
        }
        const auto handOver = [&](SlotStatus next) {
            s.device = entry;
            s.status = next;
            s.reconnected = false;
            s.resetTick = 0;
        };
        switch (s.status) {
            case SlotStatus::Idle:
                // A device that changed its kind between two passes, never seen away, is
                // still the one on this port: the slot takes its new record.
                if (entry.type != s.device.type ||
                    std::strcmp(entry.devicePath, s.device.devicePath) != 0) {
                    s.device = entry;
                    listener_.cellColour(j, kindColour(entry.type));
                }
                break;
            case SlotStatus::WaitLoader: {
                const bool timedOut = !s.reconnected && waited(s, config_.loaderWaitMs);
                if (entry.type == Loader && (s.reconnected || timedOut)) {
                    s.fromMaskRom = s.device.type == MaskRom;
                    handOver(SlotStatus::ImageRunning);
                    startWorker(j, [this, j] { imageDownload(j); });
                    if (timedOut) Log("%s", text::kLoaderWaitOver);
                } else if (timedOut) {
                    giveUpLocked(j, StageMessage::ImageStageDone);
                }
                break;
            }
            case SlotStatus::WaitMsc:
                if (entry.type == Msc) {
                    handOver(SlotStatus::DemoRunning);
                    startWorker(j, [this, j] { copyDemo(j); });
                } else if (waited(s, config_.mscWaitMs)) {
                    giveUpLocked(j, StageMessage::DemoStageDone);
                }
                break;
            default:
                break;
        }
    }

    for (int i = 0; i < kSlots; ++i) {
        PortSlot& s = slots_[static_cast<std::size_t>(i)];
        if (s.status == SlotStatus::WaitLoader && waited(s, config_.loaderWaitMs))
            giveUpLocked(i, StageMessage::ImageStageDone);
        else if (s.status == SlotStatus::WaitMsc && waited(s, config_.mscWaitMs))
            giveUpLocked(i, StageMessage::DemoStageDone);
    }
}

void Station::giveUpLocked(int index, StageMessage message) {
    const bool image = message == StageMessage::ImageStageDone;
    listener_.line(index, slots_[static_cast<std::size_t>(index)].device.layer, Line::ReturnTimedOut,
                   0);
    failSlotLocked(index, message, image ? config_.reasons.loaderWait : config_.reasons.mscWait);
    // Its place at the gate is given up, so the others of the stage go on; after its lines,
    // so that the log tells the give-up before what the others do next.
    (image ? imageGate_ : demoGate_).release();
}

}  // namespace cv50::batch
