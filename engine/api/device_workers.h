// The worker threads of the MD_ operations: one per device record. A worker works on its
// own copy of the record and publishes only the final status into the caller's record;
// the calling thread looks at the statuses every 200 ms and joins every worker before
// the operation returns.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "engine/device/records.h"

namespace cv50::api {

// The status of a record that a worker may be writing.
std::uint32_t loadStatus(const DEVICE_INFO& record);

class DeviceWorkers {
public:
    // `work` must leave its record's status StatusOk or StatusFailed.
    using Work = std::function<void(DEVICE_INFO& own)>;

    DeviceWorkers() = default;
    ~DeviceWorkers();  // waits for and joins the workers still running
    DeviceWorkers(const DeviceWorkers&) = delete;
    DeviceWorkers& operator=(const DeviceWorkers&) = delete;

    // Marks `record` StatusBusy and starts `work` on a copy of it. A worker that cannot be
    // started, throws, or leaves the copy busy gives StatusFailed.
    void start(DEVICE_INFO& record, Work work);
    // Every 200 ms looks whether a started record is still StatusBusy; returns when none
    // is, with every worker joined.
    void waitAll();

private:
    std::vector<DEVICE_INFO*> records_;
    std::vector<std::thread> threads_;
};

}  // namespace cv50::api
