// The pipe transport of cvusbComm.
#include "cvusbcomm/transport.h"

#include <atomic>
#include <string>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/os/os.h"

namespace cv50::cvusb {
namespace {

std::atomic<std::uint32_t> nextTag{1};

// Writes all of `data`; a refused or empty transfer ends it.
bool writeAll(os::Os& sys, os::Handle pipe, std::span<const std::uint8_t> data) {
    while (!data.empty()) {
        const long long n = sys.writeHandle(pipe, data.data(), data.size());
        if (n <= 0 || static_cast<unsigned long long>(n) > data.size()) return false;
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads exactly `data.size()` bytes; an error or an empty read ends it, so a device that
// stops answering cannot keep the host waiting here.
bool readAll(os::Os& sys, os::Handle pipe, std::span<std::uint8_t> data) {
    while (!data.empty()) {
        const long long n = sys.readHandle(pipe, data.data(), data.size());
        if (n <= 0 || static_cast<unsigned long long>(n) > data.size()) return false;
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

int transact(const char* devicePath, Command command, std::span<const std::uint8_t> out,
             std::span<std::uint8_t> in) {
    const Direction dir = dataDirection(command.opcode);
    const auto phaseOut = dir == Direction::Out ? out : std::span<const std::uint8_t>();
    const auto phaseIn = dir == Direction::In ? in : std::span<std::uint8_t>();
    const std::size_t length = phaseOut.size() + phaseIn.size();
    if (length > UINT32_MAX) return CVU_ERR_ARGUMENT;
    command.dataLength = static_cast<std::uint32_t>(length);
    command.tag = nextTag.fetch_add(1);

    os::Os& sys = os::current();
    const std::string path = devicePath;
    os::UniqueHandle writePipe(sys.openReadWrite(path + "\\PIPE00"));
    if (!writePipe) return CVU_ERR_TRANSPORT;
    os::UniqueHandle readPipe(sys.openReadWrite(path + "\\PIPE01"));
    if (!readPipe) return CVU_ERR_TRANSPORT;

    const auto block = encodeCommand(command);
    if (!writeAll(sys, writePipe.get(), block)) return CVU_ERR_TRANSPORT;
    if (!writeAll(sys, writePipe.get(), phaseOut)) return CVU_ERR_TRANSPORT;
    if (!readAll(sys, readPipe.get(), phaseIn)) return CVU_ERR_TRANSPORT;

    std::array<std::uint8_t, kStatusSize> statusBytes{};
    if (!readAll(sys, readPipe.get(), statusBytes)) return CVU_ERR_TRANSPORT;
    const auto status = decodeStatus(statusBytes);
    if (!status || status->tag != command.tag || status->dataLength != command.dataLength)
        return CVU_ERR_PROTOCOL;
    return status->result;
}

}  // namespace cv50::cvusb
