// libFuzzer target: any bytes as a firmware image. The FAT reader walks what it finds
// (root, one level of folders, every file), and the loader head and the tail block are
// decoded from the bytes. Nothing may crash, read outside the input or hang.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/flash/boot_head.h"
#include "engine/flash/image_tail.h"
#include "fwpkg/fat_reader.h"

using namespace cv50;

namespace {

void walkPackage(std::span<const std::uint8_t> data) {
    fwpkg::MemorySource source(data);
    std::unique_ptr<fwpkg::FatVolume> volume;
    if (fwpkg::FatVolume::open(source, volume) != fwpkg::FatError::Ok) return;
    std::vector<fwpkg::FatEntry> top;
    if (volume->list(volume->root(), top) != fwpkg::FatError::Ok) return;
    const auto readFile = [&](const fwpkg::FatEntry& e) {
        std::size_t total = 0;
        (void)volume->readFile(e, [&](std::span<const std::uint8_t> piece) {
            total += piece.size();
            if (total > data.size()) __builtin_trap();  // more than the image holds
            return true;
        });
        // The loader file's head as the engine would check it.
        std::vector<std::uint8_t> head;
        (void)volume->readFile(e, [&](std::span<const std::uint8_t> piece) {
            head.insert(head.end(), piece.begin(), piece.end());
            return head.size() < flash::kBootHeadSize;
        });
        const flash::BootHead bh = flash::bootHeadFromBytes(head);
        if (bh.signatureValid()) (void)flash::idBlockWords(bh);
    };
    for (const fwpkg::FatEntry& e : top) {
        if (!e.directory) {
            readFile(e);
            continue;
        }
        std::vector<fwpkg::FatEntry> inner;
        if (volume->list(e, inner) != fwpkg::FatError::Ok) continue;
        for (const fwpkg::FatEntry& f : inner)
            if (!f.directory) readFile(f);
    }
    fwpkg::FatEntry loader;
    (void)volume->find("CVBOOT.BIN", loader);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    walkPackage(bytes);

    const flash::BootHead head = flash::bootHeadFromBytes(bytes);
    if (head.signatureValid()) {
        for (flash::Piece p : flash::kHeadPieceOrder) (void)head.extent(p);
        (void)flash::loaderVersion(head);
        (void)flash::idBlockWords(head);
    }
    if (size >= flash::kTrailerSize) {
        const flash::TailBlock tail =
            flash::tailBlockFromBytes(bytes.subspan(size - flash::kTrailerSize));
        if (tail.hasTag()) (void)(tail.storedCrc() == tail.computedCrc());
        (void)tail.fields();
    }
    return 0;
}
