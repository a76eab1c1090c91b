// The loader personality of a simulated player on its CorvUsb pipes: decodes cvusbComm
// commands, answers them from the player's NAND and logical disk, spends the simulated
// time they would take, and applies the player's scripted faults.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "cvusbcomm/wire.h"
#include "sim/bus_share.h"
#include "sim/corvusb_endpoint.h"
#include "sim/memory_disk.h"
#include "sim/nand.h"
#include "sim/nand_disk.h"
#include "sim/nand_spec.h"
#include "sim/sim_clock.h"

namespace cv50::sim {

// What a player's loader works on; it outlives each enumeration of the player.
struct LoaderMedia {
    explicit LoaderMedia(const NandSpec& nandSpec, const TimingSpec& timingSpec = {},
                         const FaultSpec& faultSpec = {});
    LoaderMedia(const LoaderMedia&) = delete;
    LoaderMedia& operator=(const LoaderMedia&) = delete;

    // Held while a loader command works on the flash, and while the flash is kept in the
    // state folder; taken after the simulator's lock, never before it.
    std::mutex flashMutex;
    Nand nand;
    NandDisk disk{nand};  // laid out from the ID Block the boot ROM last accepted
    NandDiskPart userDisk{disk, &NandDisk::userDisk};
    // The user disk of a player that runs as a disk without a layout on its NAND (a
    // scenario's disk on blank flash): as large as all chips, at least 64 MiB.
    MemoryDisk plainUserDisk;
    TimingSpec timing;
    FaultSpec faults;
    std::vector<std::uint32_t> failuresLeft;  // per faults.failCommands entry
    std::uint32_t commandsTaken = 0;          // over every enumeration, for faults.noAnswer
    // The links above the player (its hubs', its controller's), shared with the players
    // behind them.
    std::vector<std::shared_ptr<BusShare>> links;
};

// Simulated milliseconds the loader endpoints have slept, on the calling thread, for the
// commands that thread sent: the transfer share of a benchmark's floor.
std::uint64_t loaderTimeSettledOnThisThreadMs();

class LoaderEndpoint : public CorvUsbEndpoint {
public:
    // Powers on now: a scripted busy period starts. `clock` must outlive the endpoint.
    LoaderEndpoint(std::shared_ptr<LoaderMedia> media, const SimClock& clock);

    // Called once the host has read the status of a reset, with the reset flag as it was
    // set; the owner makes the player leave the bus. Called without any lock held.
    std::function<void(bool resetFlag)> onReset;
    // Called once the flash lost its power during a command: the command never completes
    // and the endpoint answers nothing more. Called without any lock held.
    std::function<void()> onPowerCut;

    bool hostWrite(std::span<const std::uint8_t> data) override;
    long long hostRead(std::span<std::uint8_t> buffer) override;
    bool answers() const override { return !silent_; }

private:
    // false: the command cannot be framed and is refused.
    bool accept(const cvusb::Command& c) const;
    // The result; `in` (the in-phase, zeroed) is filled as far as the command gets.
    std::int32_t execute(const cvusb::Command& c, std::span<const std::uint8_t> out,
                         std::span<std::uint8_t> in);
    std::optional<std::int32_t> scriptedFailure(cvusb::Opcode op);
    void finishReset(bool& resetNow, bool& flag);

    std::int32_t flashInfo(std::span<std::uint8_t> in) const;
    std::int32_t testBadBlock(const cvusb::Command& c, std::span<std::uint8_t> in);
    std::int32_t eraseBlock(const cvusb::Command& c);
    // Arguments and place of a raw sector transfer: CVU_OK, or the error to answer.
    std::int32_t checkRawRange(std::uint32_t first, std::uint32_t count, std::uint32_t mode) const;
    std::int32_t readSector(const cvusb::Command& c, std::span<std::uint8_t> in);
    std::int32_t writeSector(const cvusb::Command& c, std::span<const std::uint8_t> out);
    std::int32_t readLba(const cvusb::Command& c, std::span<std::uint8_t> in);
    std::int32_t writeLba(const cvusb::Command& c, std::span<const std::uint8_t> out);
    std::int32_t eraseSystemDisk();
    std::int32_t testUnitReady(std::span<std::uint8_t> in) const;

    bool readError(SectorRef where) const;
    void applyFlips(SectorRef where, std::span<std::uint8_t> bytes) const;

    void spendUs(double us) { debtUs_ += us; }
    // The bulk bytes of one command on the player's own link and the shared ones above it.
    void spendLink(double bytes);
    void spendPages(std::uint32_t firstSector, std::uint32_t count, std::uint32_t pageUs);
    void spend(const NandWork& work);
    void settleTime();

    std::mutex mutex_;
    std::shared_ptr<LoaderMedia> media_;
    const SimClock& clock_;
    std::uint64_t poweredAtMs_;
    bool resetFlag_ = false;
    bool resetPending_ = false;
    bool powerCut_ = false;
    std::atomic<bool> silent_{false};  // read by the host's transfers without the lock
    double debtUs_ = 0;
    std::vector<std::uint8_t> input_;
    std::vector<std::uint8_t> output_;
    std::size_t outputRead_ = 0;
};

}  // namespace cv50::sim
