// Tests: an endpoint in front of a simulated device that records the cvusbComm commands the
// host sends, and lets a test act (unplug the device, ...) when one arrives.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "cvusbcomm/wire.h"
#include "sim/corvusb_endpoint.h"

namespace cv50::sim::testing {

class RecordingEndpoint : public CorvUsbEndpoint {
public:
    explicit RecordingEndpoint(std::shared_ptr<CorvUsbEndpoint> device)
        : device_(std::move(device)) {}

    std::vector<cvusb::Command> commands;
    // Called when a command block arrives, before the device sees it.
    std::function<void(const cvusb::Command&)> onCommand;

    bool hostWrite(std::span<const std::uint8_t> data) override {
        if (outLeft_ == 0 && data.size() == cvusb::kCommandSize) {
            if (const auto c = cvusb::decodeCommand(data)) {
                commands.push_back(*c);
                if (cvusb::dataDirection(c->opcode) == cvusb::Direction::Out)
                    outLeft_ = c->dataLength;
                if (onCommand) onCommand(*c);
            }
        } else {
            outLeft_ -= std::min<std::size_t>(outLeft_, data.size());
        }
        return device_->hostWrite(data);
    }
    long long hostRead(std::span<std::uint8_t> buffer) override {
        return device_->hostRead(buffer);
    }
    bool answers() const override { return device_->answers(); }

    // The commands of one opcode, in order.
    std::vector<cvusb::Command> of(cvusb::Opcode op) const {
        std::vector<cvusb::Command> out;
        for (const auto& c : commands)
            if (c.opcode == op) out.push_back(c);
        return out;
    }

private:
    std::shared_ptr<CorvUsbEndpoint> device_;
    std::size_t outLeft_ = 0;
};

}  // namespace cv50::sim::testing
