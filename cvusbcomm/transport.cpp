// The pipe transport of cvusbComm.
#include "cvusbcomm/transport.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/os/error_codes.h"
#include "engine/os/os.h"

namespace cv50::cvusb {
namespace {

std::atomic<std::uint32_t> nextTag{1};

enum class Outcome { Done, Failed, TimedOut };

// Why a transfer that returned `n` ended, asked at once, before anything else can set the
// thread's last error.
Outcome failure(os::Os& sys, long long n) {
    return n < 0 && sys.lastError() == os::error::kSemTimeout ? Outcome::TimedOut : Outcome::Failed;
}

// Writes all of `data`; a refused or empty transfer ends it.
Outcome writeAll(os::Os& sys, os::Handle pipe, std::span<const std::uint8_t> data,
                 std::uint32_t boundMs) {
    while (!data.empty()) {
        const long long n = sys.writeHandle(pipe, data.data(), data.size(), boundMs);
        if (n <= 0 || static_cast<unsigned long long>(n) > data.size()) return failure(sys, n);
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return Outcome::Done;
}

// Reads exactly `data.size()` bytes; an error or an empty read ends it, so a device that
// stops answering cannot keep the host waiting here.
Outcome readAll(os::Os& sys, os::Handle pipe, std::span<std::uint8_t> data, std::uint32_t boundMs) {
    while (!data.empty()) {
        const long long n = sys.readHandle(pipe, data.data(), data.size(), boundMs);
        if (n <= 0 || static_cast<unsigned long long>(n) > data.size()) return failure(sys, n);
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return Outcome::Done;
}

}  // namespace

std::uint32_t transferBoundMs(const Command& command) {
    switch (command.opcode) {
        case Opcode::TestBadBlock:
            return 10'000;
        case Opcode::ReadLBA:
        case Opcode::WriteLBA:
            return 15'000;
        case Opcode::EraseBlock: {
            const std::uint64_t blocks = command.params[2];
            return static_cast<std::uint32_t>(
                std::min<std::uint64_t>(5'000 + 20 * blocks, 120'000));
        }
        case Opcode::EraseSystemDisk:
            return 120'000;
        default:
            return 5'000;
    }
}

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

    const std::uint32_t boundMs = transferBoundMs(command);
    const auto block = encodeCommand(command);
    std::array<std::uint8_t, kStatusSize> statusBytes{};
    Outcome outcome = writeAll(sys, writePipe.get(), block, boundMs);
    if (outcome == Outcome::Done) outcome = writeAll(sys, writePipe.get(), phaseOut, boundMs);
    if (outcome == Outcome::Done) outcome = readAll(sys, readPipe.get(), phaseIn, boundMs);
    if (outcome == Outcome::Done) outcome = readAll(sys, readPipe.get(), statusBytes, boundMs);
    if (outcome == Outcome::TimedOut) return CVU_ERR_TIMEOUT;
    if (outcome == Outcome::Failed) return CVU_ERR_TRANSPORT;
    const auto status = decodeStatus(statusBytes);
    if (!status || status->tag != command.tag || status->dataLength != command.dataLength)
        return CVU_ERR_PROTOCOL;
    return status->result;
}

}  // namespace cv50::cvusb
