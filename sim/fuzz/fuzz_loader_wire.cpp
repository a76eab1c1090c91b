// libFuzzer target: any bytes as what a host sends a simulated player in CorvUsb mode, to its
// loader's pipes and to its mask ROM. The input is a run of records, each a kind byte, a
// 16-bit little-endian length and (for writes) that many bytes:
//   kind % 4 == 0 or 1   write the bytes to the loader's write pipe
//   kind % 4 == 2        read `length` bytes from its read pipe
//   kind % 4 == 3        one mask-ROM request of the bytes: the data code with bit 4 clear,
//                        the program code with it set, the code in the first 4 bytes with
//                        bit 5 set
// The loader runs on a small NAND with a laid-out disk, a factory bad block and read faults,
// so the sector and LBA commands reach the flash. Nothing may crash, hang, touch memory
// outside its buffers, or answer more than the command's data phase and status.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/byte_order.h"
#include "cvusbcomm/wire.h"
#include "sim/loader_endpoint.h"
#include "sim/mask_rom.h"

using namespace cv50;
using namespace cv50::sim;

namespace {

std::shared_ptr<LoaderMedia> smallMedia() {
    NandSpec nand;
    nand.chipMask = 0x05;  // chips 0 and 2: a gap in the chip numbers
    nand.chipSectors = 4096;
    nand.blockSectors = 256;
    nand.pageSectors = 4;
    nand.badBlocks = {{0, 5}, {2, 0}};
    TimingSpec timing;
    timing.commandUs = timing.pageReadUs = timing.pageProgramUs = timing.blockEraseUs = 1;
    timing.busyMs = 3;
    FaultSpec faults;
    faults.readErrors = {{false, 300}, {true, 40}};
    faults.flipBits = {{{false, 301}, 527, 7}, {{true, 41}, 511, 0}};
    faults.eraseFails = {{0, 9}};
    faults.programFails = {{2, 3}};
    faults.failCommands = {{cvusb::Opcode::ReadLBA, 2, -4}};
    auto media = std::make_shared<LoaderMedia>(nand, timing, faults);
    media->disk.setLayout(DiskLayout{2, {1, 1, 0, 0}, 0x0102});
    return media;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Simulated time runs so fast that the commands' costs take no real time.
    static const SimClock clock(1e9);
    LoaderEndpoint loader(smallMedia(), clock);
    MaskRom rom;
    std::span<const std::uint8_t> in(data, size);
    std::vector<std::uint8_t> buffer;
    while (in.size() >= 3) {
        const std::uint8_t kind = in[0];
        const std::size_t length = base::loadLe16(in, 1);
        in = in.subspan(3);
        const std::span<const std::uint8_t> bytes = in.first(std::min(length, in.size()));
        switch (kind % 4) {
            case 0:
            case 1:
                (void)loader.hostWrite(bytes);
                in = in.subspan(bytes.size());
                break;
            case 2: {
                buffer.assign(length, 0xA5);
                const long long n = loader.hostRead(buffer);
                if (n < -1 || n > static_cast<long long>(length)) __builtin_trap();
                break;
            }
            default: {
                std::uint32_t code = (kind & 0x10) ? MaskRom::kProgRequest : MaskRom::kDataRequest;
                std::span<const std::uint8_t> packet = bytes;
                if ((kind & 0x20) && packet.size() >= 4) {
                    code = base::loadLe32(packet, 0);
                    packet = packet.subspan(4);
                }
                const long long taken = rom.request(code, packet);
                if (taken != -1 && taken != static_cast<long long>(packet.size())) __builtin_trap();
                in = in.subspan(bytes.size());
                break;
            }
        }
    }
    return 0;
}
