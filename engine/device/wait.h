// Waiting for players to come back on their ports after they re-enumerated (a switch, a
// reset, a boot download): polls of the port walk until each shows the wanted kind on its
// Layer, or the time is up. The library's Wait exports and every flow wait through here.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/device/records.h"
#include "engine/device/search.h"

namespace cv50::device {

// The port walk is asked again this often while a wait runs.
inline constexpr std::uint32_t kWaitPollMs = 200;
// A single device is taken only after this many polls in a row show it: a device that
// shows up in the middle of re-enumerating and vanishes again is not taken.
inline constexpr int kWaitSteadyPolls = 10;

// Calls `done` every `pollMs` until it returns true (then true) or `timeoutSeconds` whole
// seconds of the monotonic clock have passed (then false). A wait of N seconds lasts N to
// N+1 seconds, and a change of the wall clock cannot cut it short or stretch it.
bool PollUntil(unsigned timeoutSeconds, std::uint32_t pollMs, const std::function<bool()>& done);

// Every record of `devices` waited for as `type` on its Layer, all at once. Records that
// came get StatusOk and the device's new path, node, numbers and drive letter; the others
// StatusFailed. 1 when all came.
int WaitForDevices(SEARCH_RESULT* devices, CV_DEVICE_TYPE type, unsigned short timeoutSeconds,
                   Walk walk);

// One device waited for as `type` on `device.layer`, seen on `steadyPolls` polls in a row;
// the record then describes it (drive letter looked up for a disk). 0 at the timeout, the
// record unchanged.
int WaitForDevice(DEVICE_INFO& device, CV_DEVICE_TYPE type, unsigned short timeoutSeconds,
                  Walk walk, int steadyPolls = kWaitSteadyPolls);

}  // namespace cv50::device
