#pragma once
// The time a send keeps and waits on; tests put one of their own in its place.

#include <chrono>
#include <stop_token>

namespace t2tk::send {

class SendClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~SendClock() = default;
    virtual TimePoint Now() = 0;
    // Waits until deadline, or until a stop is asked for; false when stopped.
    virtual bool WaitUntil(TimePoint deadline, const std::stop_token& stop) = 0;
};

// The machine's steady clock. A wait ends at its deadline or at once when a
// stop is asked for; nothing wakes up in between to look.
SendClock& SteadyClock();

}  // namespace t2tk::send
