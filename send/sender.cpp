#include "send/sender.h"

#include "convert/message_schedule.h"
#include "send/midi_port.h"

namespace t2tk::send {

SendResult SendMessages(MidiPort& port, std::span<const std::uint8_t> messages, const std::stop_token& stop,
                        const std::function<void(const SendStatus&)>& onMessage, SendClock& clock)
{
    const SendSchedule schedule(messages);
    const auto& steps = schedule.steps();
    SendResult result;
    result.presets = schedule.presets();
    // When the last store request left, while the module stores its preset.
    bool storing = false;
    SendClock::TimePoint stored{};
    const auto countStored = [&](SendClock::TimePoint now) {
        if (storing && now >= stored + SendSchedule::kFinalWait) {
            ++result.stored;
            storing = false;
        }
    };
    for (std::size_t i = 0; i < steps.size() && result.ending == SendEnding::Done; ++i) {
        const SendStep& step = steps[i];
        if (onMessage) {
            onMessage({step.preset, result.presets, step.name, step.program, static_cast<int>(i) + 1,
                       static_cast<int>(steps.size()),
                       std::chrono::duration_cast<std::chrono::milliseconds>(schedule.LeftAfter(i))});
        }
        SendClock::TimePoint left;
        switch (port.Send({step.message.bytes, step.message.length}, step.spacing, stop, left, result.failure)) {
        case Departure::Left:
            countStored(left);
            if (step.storesPreset) {
                storing = true;
                stored = left;
            }
            break;
        case Departure::Stopped:
            result.ending = SendEnding::Stopped;
            break;
        case Departure::Failed:
            result.ending = SendEnding::PortFailed;
            break;
        }
    }
    // The module stores the last preset in this time. It is waited out even
    // after a stop (it is half a second at most): the module stores what it
    // was asked to, and the account should say so.
    if (storing && result.ending != SendEnding::PortFailed) {
        clock.WaitUntil(stored + SendSchedule::kFinalWait, std::stop_token());
        if (result.ending == SendEnding::Done && stop.stop_requested()) {
            result.ending = SendEnding::Stopped;
        }
    }
    countStored(clock.Now());
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
