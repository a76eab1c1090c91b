// Simulated clock.
#include "sim/sim_clock.h"

#include <ctime>
#include <thread>

#include "base/host.h"

namespace cv50::sim {
namespace {

using namespace std::chrono;

os::LocalTime realLocalTime() {
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const std::tm tm = base::localTimeOf(secs);
    os::LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond =
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return t;
}

}  // namespace

std::int64_t toMs(const os::LocalTime& t) {
    const sys_days day = year{t.year} / month{static_cast<unsigned>(t.month)} /
                         std::chrono::day{static_cast<unsigned>(t.day)};
    return duration_cast<milliseconds>(day.time_since_epoch()).count() +
           ((t.hour * 60 + t.minute) * 60 + t.second) * 1000LL + t.millisecond;
}

os::LocalTime fromMs(std::int64_t ms) {
    const sys_days day = floor<days>(sys_time<milliseconds>(milliseconds(ms)));
    const year_month_day ymd(day);
    std::int64_t rest = ms - duration_cast<milliseconds>(day.time_since_epoch()).count();
    os::LocalTime t;
    t.year = static_cast<int>(ymd.year());
    t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    t.millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    t.second = static_cast<int>(rest % 60);
    rest /= 60;
    t.minute = static_cast<int>(rest % 60);
    t.hour = static_cast<int>(rest / 60);
    return t;
}

SimClock::SimClock(double speed, std::optional<os::LocalTime> start)
    : speed_(speed > 0 ? speed : 1.0),
      startReal_(steady_clock::now()),
      baseLocalMs_(toMs(start ? *start : realLocalTime())) {}

std::uint64_t SimClock::tickMs() const {
    const double realMs = duration<double, std::milli>(steady_clock::now() - startReal_).count();
    return static_cast<std::uint64_t>(realMs * speed_);
}

os::LocalTime SimClock::localTime() const {
    std::lock_guard lock(mutex_);
    return fromMs(baseLocalMs_ + static_cast<std::int64_t>(tickMs()));
}

void SimClock::setLocalTime(const os::LocalTime& t) {
    std::lock_guard lock(mutex_);
    baseLocalMs_ = toMs(t) - static_cast<std::int64_t>(tickMs());
}

void SimClock::sleepMs(std::uint32_t ms) const {
    if (ms == 0) {
        std::this_thread::yield();
        return;
    }
    // Some platforms wake short sleeps early; simulated time must not run short.
    const std::uint64_t until = tickMs() + ms;
    for (std::uint64_t now = tickMs(); now < until; now = tickMs())
        std::this_thread::sleep_for(duration<double, std::milli>((until - now) / speed_));
}

}  // namespace cv50::sim
