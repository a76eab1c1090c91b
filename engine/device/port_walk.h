// Naming devices by the USB port they sit on: a walk over host controllers, root hubs
// and hubs that yields one entry per configured device, with its Layer ("1-3-2").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/os/os.h"

namespace cv50::device {

struct PortEntry {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::uint16_t bcdUSB = 0;
    std::uint32_t devInst = 0;  // 0 when no device node matched the driver key
    std::string devicePath;     // empty when devInst is 0
    std::string layer;
};

// Longest Layer that fits DEVICE_INFO.layer with its NUL.
inline constexpr std::size_t kMaxLayerLength = 19;

// "\\?\" + instance id with "\" -> "#" + the USB device interface class.
std::string devicePathFromInstanceId(const std::string& instanceId);

// One walk. Entries come out depth first: controller order, then port order, a hub's
// ports right after the port it sits on. Failed opens and requests skip silently.
class PortWalk {
public:
    explicit PortWalk(std::vector<PortEntry>& out) : out_(out) {}

    // Only root hubs of USB 2.0 controllers found by interface class.
    void usb20Controllers();
    // Every controller reachable as "\\.\HCD0" to "\\.\HCD9".
    void legacyControllers();
    void hub(const std::string& hubName, const std::string& prefix);
    void hubPorts(os::Handle hub, unsigned portCount, const std::string& prefix);

    int connectedPorts() const { return connected_; }
    int hubs() const { return hubs_; }

private:
    std::vector<PortEntry>& out_;
    int connected_ = 0;
    int hubs_ = 0;
};

// The two walks; both clear `entries` first and return the number of ports whose
// connection status was "device connected".
int EnumerateUsbPorts(std::vector<PortEntry>& entries);
int EnumerateUsbPortsAll(std::vector<PortEntry>& entries);
// The recursive steps, appending to `entries`.
void EnumerateHub(std::vector<PortEntry>& entries, const std::string& hubName,
                  const std::string& prefix);
void EnumerateHubPorts(std::vector<PortEntry>& entries, os::Handle hub, unsigned portCount,
                       const std::string& prefix);

// The device node whose driver key equals `driverKey` (case-insensitive), found by a
// depth-first visit of the whole device tree; 0 when none.
os::DevInst findDeviceNodeByDriverKey(const std::string& driverKey);

}  // namespace cv50::device
