// A border between two stages of a batch: a counter of the devices still to arrive, under
// its own lock, and a manual-reset gate that opens when the last of them has arrived (or
// has been given up). Devices that arrived early wait at the gate.
#pragma once

#include <condition_variable>
#include <mutex>

namespace cv50::batch {

class StageGate {
public:
    // One more device is expected.
    void add(int count = 1);
    // One expected device arrived or was given up: the counter goes down when above 0, and
    // reaching 0 opens the gate, once a batch.
    void release();
    // Blocks until the gate is open (true) or abandoned (false).
    [[nodiscard]] bool wait();
    // Closed, with its counter 0 and its once-a-batch opening available again.
    void reset();
    // Wakes every waiter with false, now and later: the station is stopping.
    void abandon();

    int count() const;
    bool isOpen() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable opened_;
    int count_ = 0;
    bool open_ = false;
    bool openedThisBatch_ = false;  // the set flag
    bool abandoned_ = false;
};

}  // namespace cv50::batch
