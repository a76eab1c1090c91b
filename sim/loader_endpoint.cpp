// The simulated loader: cvusbComm commands answered from the player's media.
#include "sim/loader_endpoint.h"

#include <algorithm>

#include "base/byte_order.h"
#include "cvusbcomm/cvusbcomm.h"

namespace cv50::sim {
namespace {

using cvusb::Command;
using cvusb::Direction;
using cvusb::kRawSectorSize;
using cvusb::kSectorSize;
using cvusb::Opcode;

// The largest data phase a loader buffers: one full LBA transfer.
constexpr std::uint32_t kMaxDataPhase = CVU_MAX_LBA_SECTORS * kSectorSize;

std::uint32_t plainDiskSectors(const NandSpec& n) {
    constexpr std::uint64_t kLeast = 64 * 2048;  // room for a FAT32 volume
    const std::uint64_t total = std::uint64_t{n.chipSectors} * n.chipCount();
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(total, kLeast, UINT32_MAX));
}

bool rangeFits(std::uint32_t first, std::uint32_t count, std::uint64_t limit) {
    return std::uint64_t{first} + count <= limit;
}

thread_local std::uint64_t settledOnThisThreadMs = 0;

}  // namespace

std::uint64_t loaderTimeSettledOnThisThreadMs() { return settledOnThisThreadMs; }

LoaderMedia::LoaderMedia(const NandSpec& nandSpec, const TimingSpec& timingSpec,
                         const FaultSpec& faultSpec)
    : nand(nandSpec),
      plainUserDisk(plainDiskSectors(nandSpec)),
      timing(timingSpec),
      faults(faultSpec) {
    for (const CommandFault& f : faults.failCommands) failuresLeft.push_back(f.times);
    if (faults.powerCutAtStep != 0) nand.cutPowerAtStep(faults.powerCutAtStep);
}

LoaderEndpoint::LoaderEndpoint(std::shared_ptr<LoaderMedia> media, const SimClock& clock)
    : media_(std::move(media)), clock_(clock), poweredAtMs_(clock.tickMs()) {}

bool LoaderEndpoint::accept(const Command& c) const {
    const auto expected = cvusb::expectedDataLength(c.opcode, c.params);
    return expected && *expected == c.dataLength && c.dataLength <= kMaxDataPhase;
}

void LoaderEndpoint::finishReset(bool& resetNow, bool& flag) {
    resetPending_ = false;
    resetNow = true;
    flag = resetFlag_;
    resetFlag_ = false;
    poweredAtMs_ = clock_.tickMs();
}

bool LoaderEndpoint::hostWrite(std::span<const std::uint8_t> data) {
    bool resetNow = false, flag = false, ok = true, cutNow = false;
    {
        std::lock_guard lock(mutex_);
        if (powerCut_) return false;
        if (resetPending_) {
            // The host went on without the reset's status; the device resets all the same.
            finishReset(resetNow, flag);
            ok = false;
        } else {
            // A new command makes an answer the host did not read stale.
            if (input_.empty()) {
                output_.clear();
                outputRead_ = 0;
            }
            input_.insert(input_.end(), data.begin(), data.end());
            while (input_.size() >= cvusb::kCommandSize) {
                const auto c = cvusb::decodeCommand(std::span(input_).first(cvusb::kCommandSize));
                if (!c || !accept(*c)) {
                    input_.clear();
                    ok = false;
                    break;
                }
                const std::uint32_t silentFrom = media_->faults.noAnswerFromCommand;
                if (++media_->commandsTaken >= silentFrom && silentFrom != 0) {
                    // Taken off the bus's hands, never answered.
                    silent_ = true;
                    input_.clear();
                    output_.clear();
                    break;
                }
                const Direction dir = cvusb::dataDirection(c->opcode);
                const std::size_t outLength = dir == Direction::Out ? c->dataLength : 0;
                if (input_.size() < cvusb::kCommandSize + outLength) break;
                output_.assign(dir == Direction::In ? c->dataLength : 0, 0);
                std::int32_t result = 0;
                bool powerLost = false;
                {
                    std::lock_guard flash(media_->flashMutex);
                    result = execute(*c, std::span(input_).subspan(cvusb::kCommandSize, outLength),
                                     output_);
                    powerLost = media_->nand.powerLost();
                }
                if (powerLost) {
                    // No status: the player is off the bus before the command completes.
                    powerCut_ = cutNow = true;
                    input_.clear();
                    output_.clear();
                    ok = false;
                    break;
                }
                const auto status = cvusb::encodeStatus({c->tag, result, c->dataLength});
                output_.insert(output_.end(), status.begin(), status.end());
                outputRead_ = 0;
                input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(
                                                                  cvusb::kCommandSize + outLength));
                if (c->opcode == Opcode::ResetDevice && result == CVU_OK) resetPending_ = true;
            }
            settleTime();
        }
    }
    if (resetNow && onReset) onReset(flag);
    if (cutNow && onPowerCut) onPowerCut();
    return ok;
}

long long LoaderEndpoint::hostRead(std::span<std::uint8_t> buffer) {
    bool resetNow = false, flag = false;
    long long n = 0;
    {
        std::lock_guard lock(mutex_);
        // Nothing to send: a real pipe would time out; answer at once instead of hanging.
        if (outputRead_ >= output_.size()) return -1;
        const std::size_t count = std::min(buffer.size(), output_.size() - outputRead_);
        std::copy_n(output_.begin() + static_cast<std::ptrdiff_t>(outputRead_), count,
                    buffer.begin());
        outputRead_ += count;
        n = static_cast<long long>(count);
        if (outputRead_ == output_.size() && resetPending_) finishReset(resetNow, flag);
    }
    if (resetNow && onReset) onReset(flag);
    return n;
}

std::optional<std::int32_t> LoaderEndpoint::scriptedFailure(Opcode op) {
    auto& faults = media_->faults.failCommands;
    for (std::size_t i = 0; i < faults.size(); ++i) {
        if (faults[i].command == op && media_->failuresLeft[i] > 0) {
            --media_->failuresLeft[i];
            return faults[i].result;
        }
    }
    return std::nullopt;
}

std::int32_t LoaderEndpoint::execute(const Command& c, std::span<const std::uint8_t> out,
                                     std::span<std::uint8_t> in) {
    const TimingSpec& t = media_->timing;
    spendUs(t.commandUs);
    spendLink(cvusb::kCommandSize + cvusb::kStatusSize + double(c.dataLength));
    if (const auto failure = scriptedFailure(c.opcode)) return *failure;
    switch (c.opcode) {
        case Opcode::ReadFlashInfo:
            return flashInfo(in);
        case Opcode::ReadChipInfo: {
            const auto info = media_->nand.spec().chipInfoBytes();
            std::copy(info.begin(), info.end(), in.begin());
            return CVU_OK;
        }
        case Opcode::TestBadBlock:
            return testBadBlock(c, in);
        case Opcode::EraseBlock:
            return eraseBlock(c);
        case Opcode::ReadSector:
            return readSector(c, in);
        case Opcode::WriteSector:
            return writeSector(c, out);
        case Opcode::ReadLBA:
            return readLba(c, in);
        case Opcode::WriteLBA:
            return writeLba(c, out);
        case Opcode::EraseSystemDisk:
            return eraseSystemDisk();
        case Opcode::TestUnitReady:
            return testUnitReady(in);
        case Opcode::SetResetFlag:
            resetFlag_ = true;
            return CVU_OK;
        case Opcode::ResetDevice:
            return CVU_OK;
    }
    return CVU_ERR_UNSUPPORTED;
}

std::int32_t LoaderEndpoint::flashInfo(std::span<std::uint8_t> in) const {
    const NandSpec& n = media_->nand.spec();
    base::storeLe32(in, 0, n.chipSectors);
    base::storeLe16(in, 4, n.blockSectors);
    in[6] = n.pageSectors;
    in[7] = n.geometryA;
    in[8] = n.geometryB;
    in[9] = n.manufacturer;
    in[10] = n.chipMask;
    return CVU_OK;
}

std::int32_t LoaderEndpoint::testBadBlock(const Command& c, std::span<std::uint8_t> in) {
    const auto [chip, first, count, unused] = c.params;
    Nand& nand = media_->nand;
    if (count == 0 || count > CVU_MAX_BLOCKS) return CVU_ERR_ARGUMENT;
    if (!nand.validBlock(chip, 0) || !rangeFits(first, count, nand.blocksPerChip()))
        return CVU_ERR_RANGE;
    bool any = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!nand.isBad(chip, first + i)) continue;
        in[i / 8] = static_cast<std::uint8_t>(in[i / 8] | (1u << (i % 8)));
        any = true;
    }
    // The loader reads each block's marker from its first page.
    spendUs(static_cast<double>(count) * media_->timing.pageReadUs);
    return any ? CVU_BAD_BLOCK : CVU_OK;
}

std::int32_t LoaderEndpoint::eraseBlock(const Command& c) {
    const auto [chip, first, count, kind] = c.params;
    Nand& nand = media_->nand;
    if (count == 0 || (kind != CVU_ERASE_NORMAL && kind != CVU_ERASE_FORCE))
        return CVU_ERR_ARGUMENT;
    if (!nand.validBlock(chip, 0) || !rangeFits(first, count, nand.blocksPerChip()))
        return CVU_ERR_RANGE;
    const auto& fails = media_->faults.eraseFails;
    bool metBad = false, failed = false;
    for (std::uint32_t block = first; block < first + count; ++block) {
        if (nand.factoryBad(chip, block)) {
            metBad = true;
            continue;
        }
        if (nand.isBad(chip, block)) {
            if (kind != CVU_ERASE_FORCE) {
                metBad = true;
                continue;
            }
            nand.clearGrownBad(chip, block);
        }
        spendUs(media_->timing.blockEraseUs);
        if (std::find(fails.begin(), fails.end(), BlockRef{std::uint8_t(chip), block}) !=
            fails.end()) {
            nand.markGrownBad(chip, block);
            failed = true;
            continue;
        }
        nand.eraseBlock(chip, block);
    }
    return failed ? CVU_ERR_DEVICE : metBad ? CVU_BAD_BLOCK : CVU_OK;
}

bool LoaderEndpoint::readError(SectorRef where) const {
    const auto& errors = media_->faults.readErrors;
    return std::find(errors.begin(), errors.end(), where) != errors.end();
}

void LoaderEndpoint::applyFlips(SectorRef where, std::span<std::uint8_t> bytes) const {
    for (const BitFlip& f : media_->faults.flipBits)
        if (f.where == where && f.byte < bytes.size())
            bytes[f.byte] = static_cast<std::uint8_t>(bytes[f.byte] ^ (1u << f.bit));
}

void LoaderEndpoint::spendPages(std::uint32_t firstSector, std::uint32_t count,
                                std::uint32_t pageUs) {
    const std::uint32_t ps = media_->nand.spec().pageSectors;
    const std::uint64_t last = std::uint64_t{firstSector} + count - 1;
    spendUs(double(last / ps - firstSector / ps + 1) * pageUs);
}

void LoaderEndpoint::spend(const NandWork& work) {
    const TimingSpec& t = media_->timing;
    spendUs(double(work.pagesRead) * t.pageReadUs + double(work.pagesProgrammed) * t.pageProgramUs +
            double(work.blocksErased) * t.blockEraseUs);
}

std::int32_t LoaderEndpoint::checkRawRange(std::uint32_t first, std::uint32_t count,
                                           std::uint32_t mode) const {
    if (count == 0 || count > CVU_MAX_SECTORS || mode != 1) return CVU_ERR_ARGUMENT;
    if (!rangeFits(first, count, UINT32_MAX)) return CVU_ERR_RANGE;
    unsigned chip = 0;
    std::uint32_t chipSector = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        if (!media_->nand.locate(first + i, chip, chipSector)) return CVU_ERR_RANGE;
    return CVU_OK;
}

std::int32_t LoaderEndpoint::readSector(const Command& c, std::span<std::uint8_t> in) {
    const auto [first, count, mode, unused] = c.params;
    if (const std::int32_t r = checkRawRange(first, count, mode); r != CVU_OK) return r;
    Nand& nand = media_->nand;
    unsigned chip = 0;
    std::uint32_t chipSector = 0;
    spendPages(first, count, media_->timing.pageReadUs);
    for (std::uint32_t i = 0; i < count; ++i) {
        const SectorRef where{false, first + i};
        if (readError(where)) return CVU_ERR_READ;
        auto bytes = in.subspan(std::size_t{i} * kRawSectorSize, kRawSectorSize);
        (void)nand.locate(first + i, chip, chipSector);
        nand.read(chip, chipSector, bytes);
        applyFlips(where, bytes);
    }
    return CVU_OK;
}

std::int32_t LoaderEndpoint::writeSector(const Command& c, std::span<const std::uint8_t> out) {
    const auto [first, count, mode, unused] = c.params;
    if (const std::int32_t r = checkRawRange(first, count, mode); r != CVU_OK) return r;
    Nand& nand = media_->nand;
    unsigned chip = 0;
    std::uint32_t chipSector = 0;
    const auto& fails = media_->faults.programFails;
    spendPages(first, count, media_->timing.pageProgramUs);
    for (std::uint32_t i = 0; i < count; ++i) {
        (void)nand.locate(first + i, chip, chipSector);
        const std::uint32_t block = chipSector / nand.spec().blockSectors;
        if (nand.isBad(chip, block)) return CVU_ERR_DEVICE;
        if (std::find(fails.begin(), fails.end(), BlockRef{std::uint8_t(chip), block}) !=
            fails.end()) {
            nand.markGrownBad(chip, block);
            return CVU_ERR_DEVICE;
        }
        nand.program(chip, chipSector,
                     out.subspan(std::size_t{i} * kRawSectorSize, kRawSectorSize));
    }
    return CVU_OK;
}

std::int32_t LoaderEndpoint::readLba(const Command& c, std::span<std::uint8_t> in) {
    const auto [first, count, unused1, unused2] = c.params;
    if (count == 0 || count > CVU_MAX_LBA_SECTORS) return CVU_ERR_ARGUMENT;
    if (!media_->disk.layout()) return CVU_ERR_DEVICE;  // no ID Block said where the disk is
    if (!rangeFits(first, count, media_->disk.sectors())) return CVU_ERR_RANGE;
    for (std::uint32_t i = 0; i < count; ++i)
        if (readError({true, first + i})) return CVU_ERR_READ;
    NandWork work;
    const auto bytes = in.first(std::size_t{count} * kSectorSize);
    if (!media_->disk.read(first, bytes, work)) return CVU_ERR_RANGE;
    spend(work);
    for (std::uint32_t i = 0; i < count; ++i)
        applyFlips({true, first + i}, bytes.subspan(std::size_t{i} * kSectorSize, kSectorSize));
    return CVU_OK;
}

std::int32_t LoaderEndpoint::writeLba(const Command& c, std::span<const std::uint8_t> out) {
    const auto [first, count, unused1, unused2] = c.params;
    if (count == 0 || count > CVU_MAX_LBA_SECTORS) return CVU_ERR_ARGUMENT;
    if (!media_->disk.layout()) return CVU_ERR_DEVICE;
    if (!rangeFits(first, count, media_->disk.sectors())) return CVU_ERR_RANGE;
    NandWork work;
    if (!media_->disk.write(first, out.first(std::size_t{count} * kSectorSize), work))
        return CVU_ERR_RANGE;
    spend(work);
    return CVU_OK;
}

// Without a layout there is no system disk, so nothing to erase.
std::int32_t LoaderEndpoint::eraseSystemDisk() {
    NandWork work;
    media_->disk.eraseSystemDisk(work);
    spend(work);
    return CVU_OK;
}

std::int32_t LoaderEndpoint::testUnitReady(std::span<std::uint8_t> in) const {
    const std::uint32_t busy = media_->timing.busyMs;
    const std::uint64_t elapsed = clock_.tickMs() - poweredAtMs_;
    const bool ready = elapsed >= busy;
    base::storeLe32(in, 0, busy);
    base::storeLe32(in, 4, ready ? busy : static_cast<std::uint32_t>(elapsed));
    return ready ? CVU_OK : CVU_BUSY;
}

void LoaderEndpoint::spendLink(double bytes) {
    // The transfer starts when the time already owed has passed; it ends when its own link
    // and every shared one above it have carried it.
    const double startUs = double(clock_.tickMs()) * 1000 + debtUs_;
    double endUs = startUs + bytes * 1e6 / media_->timing.linkBytesPerSecond;
    for (const auto& link : media_->links) endUs = std::max(endUs, link->reserveUs(startUs, bytes));
    spendUs(endUs - startUs);
}

void LoaderEndpoint::settleTime() {
    if (debtUs_ < 1000) return;
    const auto ms = static_cast<std::uint32_t>(debtUs_ / 1000);
    debtUs_ -= ms * 1000.0;
    settledOnThisThreadMs += ms;
    clock_.sleepMs(ms);
}

}  // namespace cv50::sim
