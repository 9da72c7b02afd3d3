#include "send/send_clock.h"

#include <condition_variable>
#include <mutex>

namespace t2tk::send {

namespace {

class Steady : public SendClock {
public:
    TimePoint Now() override { return std::chrono::steady_clock::now(); }
    bool WaitUntil(TimePoint deadline, const std::stop_token& stop) override
    {
        // A wait of its own: only the deadline or the stop ends it.
        std::mutex mutex;
        std::condition_variable_any stopped;
        std::unique_lock lock(mutex);  // cppcheck-suppress localMutex
        stopped.wait_until(lock, stop, deadline, [] { return false; });
        return !stop.stop_requested();
    }
};

}  // namespace

SendClock& SteadyClock()
{
    static Steady clock;
    return clock;
}

}  // namespace t2tk::send
