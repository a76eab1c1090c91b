// A callback a process installs for everyone (a progress sink, a log listener, an
// answerer): replaced, read and called under its own lock.
#pragma once

#include <mutex>
#include <utility>

namespace cv50::base {

template <typename Fn>
class CallbackSlot {
public:
    // Installs `fn` (an empty one clears the slot) and returns the previous one.
    Fn exchange(Fn fn) {
        std::lock_guard lock(mutex_);
        std::swap(fn_, fn);
        return fn;
    }
    // A copy, for a caller that must not hold the lock while the callback runs.
    Fn get() const {
        std::lock_guard lock(mutex_);
        return fn_;
    }
    bool installed() const {
        std::lock_guard lock(mutex_);
        return static_cast<bool>(fn_);
    }
    // Calls the callback under the lock, so calls from several threads come one at a time.
    // False when none is installed.
    template <typename... Args>
    bool call(Args&&... args) const {
        std::lock_guard lock(mutex_);
        if (!fn_) return false;
        fn_(std::forward<Args>(args)...);
        return true;
    }

private:
    mutable std::mutex mutex_;
    Fn fn_;
};

// Installs a callback for its lifetime through `Install` (which returns the one it
// replaced) and puts the previous one back.
template <typename Fn, Fn (*Install)(Fn)>
class ScopedCallback {
public:
    explicit ScopedCallback(Fn fn) : previous_(Install(std::move(fn))) {}
    ~ScopedCallback() { Install(std::move(previous_)); }
    ScopedCallback(const ScopedCallback&) = delete;
    ScopedCallback& operator=(const ScopedCallback&) = delete;

private:
    Fn previous_;
};

}  // namespace cv50::base
