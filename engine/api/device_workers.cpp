#include "engine/api/device_workers.h"

#include <algorithm>
#include <atomic>

#include "engine/os/os.h"

namespace cv50::api {
namespace {

constexpr std::uint32_t kPollMs = 200;

void publishStatus(DEVICE_INFO& record, std::uint32_t status) {
    std::atomic_ref<std::uint32_t>(record.status).store(status, std::memory_order_release);
}

void runWork(DEVICE_INFO* record, DEVICE_INFO own, const DeviceWorkers::Work& work) {
    try {
        work(own);
    } catch (...) {
        own.status = StatusFailed;
    }
    publishStatus(*record, own.status == StatusOk ? StatusOk : StatusFailed);
}

}  // namespace

std::uint32_t loadStatus(const DEVICE_INFO& record) {
    return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(record.status))
        .load(std::memory_order_acquire);
}

DeviceWorkers::~DeviceWorkers() { waitAll(); }

void DeviceWorkers::start(DEVICE_INFO& record, Work work) {
    record.status = StatusBusy;
    const DEVICE_INFO own = record;
    try {
        records_.push_back(&record);
    } catch (...) {
        record.status = StatusFailed;
        return;
    }
    try {
        threads_.emplace_back(runWork, &record, own, std::move(work));
    } catch (...) {
        records_.pop_back();
        record.status = StatusFailed;
    }
}

void DeviceWorkers::waitAll() {
    const auto busy = [](const DEVICE_INFO* r) { return loadStatus(*r) == StatusBusy; };
    while (std::any_of(records_.begin(), records_.end(), busy)) os::current().sleepMs(kPollMs);
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
    records_.clear();
}

}  // namespace cv50::api
