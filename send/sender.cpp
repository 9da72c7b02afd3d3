#include "send/sender.h"

#include <condition_variable>
#include <mutex>

#include "convert/message_schedule.h"
#include "send/midi_port.h"

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

SendResult SendMessages(MidiPort& port, std::span<const std::uint8_t> messages, const std::stop_token& stop,
                        const std::function<void(const SendStatus&)>& onMessage, SendClock& clock)
{
    const SendSchedule schedule(messages);
    const auto& steps = schedule.steps();
    SendResult result;
    result.presets = schedule.presets();
    // The first message too waits its spacing, which gives a connection just
    // made the time to carry it.
    SendClock::TimePoint previous = clock.Now();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const SendStep& step = steps[i];
        if (!clock.WaitUntil(previous + step.spacing, stop)) {
            result.ending = SendEnding::Stopped;
            return result;
        }
        previous = clock.Now();
        if (onMessage) {
            onMessage({step.preset, result.presets, step.name, step.program, static_cast<int>(i) + 1,
                       static_cast<int>(steps.size()),
                       std::chrono::duration_cast<std::chrono::milliseconds>(schedule.LeftAfter(i))});
        }
        if (!port.Send(step.message.bytes, step.message.length, result.failure)) {
            result.ending = SendEnding::PortFailed;
            return result;
        }
        result.stored += step.storesPreset ? 1 : 0;
    }
    // The module stores the last preset in this time; a stop cuts only the wait.
    if (!clock.WaitUntil(previous + SendSchedule::kFinalWait, stop)) {
        result.ending = SendEnding::Stopped;
    }
    return result;
}

std::string TimeLeft(std::chrono::milliseconds left)
{
    const long long seconds = (left.count() + 999) / 1000;
    return std::to_string(seconds / 60) + (seconds % 60 < 10 ? ":0" : ":") + std::to_string(seconds % 60);
}

std::string DescribeStored(const SendResult& result)
{
    return std::to_string(result.stored) + " of " + std::to_string(result.presets) +
           (result.presets == 1 ? " preset was" : " presets were") + " stored completely";
}

}  // namespace t2tk::send
