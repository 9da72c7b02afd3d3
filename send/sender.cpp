#include "send/sender.h"

#include <algorithm>
#include <optional>

#include "convert/message_layout.h"
#include "convert/message_schedule.h"
#include "send/midi_port.h"

namespace t2tk::send {

namespace {

// The steps of one preset in a schedule, [first, end): from its program dump
// (for the first preset, from the init request before it, which the module
// may have missed too) to its store request. A try again starts at first.
struct PresetSteps {
    std::size_t first;
    std::size_t end;
};

PresetSteps StepsOf(const std::vector<SendStep>& steps, std::size_t first)
{
    PresetSteps preset{first, first};
    while (preset.end < steps.size() && steps[preset.end].preset == steps[first].preset) {
        ++preset.end;
    }
    return preset;
}

}  // namespace

SendResult SendMessages(MidiPort& port, std::span<const std::uint8_t> messages, const std::stop_token& stop,
                        const std::function<void(const SendStatus&)>& onMessage, SendClock& clock)
{
    const SendSchedule schedule(messages);
    const auto& steps = schedule.steps();
    SendResult result;
    result.presets = schedule.presets();
    for (const SendStep& step : steps) {
        if (IsProgramDump(step.message.bytes, step.message.length)) {
            result.outcomes.push_back({step.program, step.name});
        }
    }
    // The preset whose store request left last, while the module stores it.
    constexpr auto kNone = static_cast<std::size_t>(-1);
    std::size_t storing = kNone;
    SendClock::TimePoint storedAt{};
    const auto countStored = [&](SendClock::TimePoint now) {
        if (storing != kNone && now >= storedAt + SendSchedule::kFinalWait) {
            result.outcomes[storing].stored = true;
            storing = kNone;
        }
    };
    for (std::size_t next = 0; next < steps.size() && result.ending == SendEnding::Done;) {
        const PresetSteps preset = StepsOf(steps, next);
        next = preset.end;
        const auto index = static_cast<std::size_t>(std::max(steps[preset.first].preset, 1) - 1);
        PresetOutcome* outcome = index < result.outcomes.size() ? &result.outcomes[index] : nullptr;
        // A try again after a store request that left waits out the module's
        // storing, as the next preset's program dump would.
        bool afterStore = false;
        for (int attempt = 1; attempt <= kPresetTries && result.ending == SendEnding::Done; ++attempt) {
            if (outcome != nullptr) {
                outcome->attempts = attempt;
            }
            port.Watch(stop);
            bool doubted = false;
            std::optional<SendClock::TimePoint> storeLeft;
            for (std::size_t i = preset.first;
                 i < preset.end && result.ending == SendEnding::Done && !doubted; ++i) {
                const SendStep& step = steps[i];
                if (onMessage) {
                    onMessage({step.preset, result.presets, step.name, step.program, static_cast<int>(i) + 1,
                               static_cast<int>(steps.size()),
                               std::chrono::duration_cast<std::chrono::milliseconds>(schedule.LeftAfter(i)), attempt});
                }
                SendClock::TimePoint left;
                const auto spacing = i == preset.first && afterStore
                                         ? std::max(step.spacing, SendSchedule::kFinalWait)
                                         : step.spacing;
                switch (port.Send({step.message.bytes, step.message.length}, spacing, stop, left, result.failure)) {
                case Departure::Left:
                    countStored(left);
                    if (step.storesPreset) {
                        storeLeft = left;
                    }
                    break;
                case Departure::Doubted:
                    doubted = true;
                    break;
                case Departure::Stopped:
                    result.ending = SendEnding::Stopped;
                    break;
                case Departure::Failed:
                    result.ending = SendEnding::PortFailed;
                    break;
                }
            }
            // Once its store request has left, the preset is the module's,
            // whatever comes after; unless a doubt comes about its messages.
            if (storeLeft && !doubted && port.Whole()) {
                if (outcome != nullptr) {
                    storing = index;
                    storedAt = *storeLeft;
                    outcome->ranLate = false;
                    outcome->mayBeBroken = false;
                }
                break;
            }
            afterStore = storeLeft.has_value();
            if (outcome != nullptr && (doubted || storeLeft)) {
                outcome->ranLate = true;
                outcome->mayBeBroken = outcome->mayBeBroken || storeLeft.has_value();
            }
        }
    }
    // The module stores the last preset in this time. It is waited out even
    // after a stop or a failure of the port (it is half a second at most):
    // the module stores what it was asked to, and the account should say so.
    if (storing != kNone) {
        clock.WaitUntil(storedAt + SendSchedule::kFinalWait, std::stop_token());
        if (result.ending == SendEnding::Done && stop.stop_requested()) {
            result.ending = SendEnding::Stopped;
        }
    }
    countStored(clock.Now());
    result.stored = static_cast<int>(
        std::count_if(result.outcomes.begin(), result.outcomes.end(), [](const PresetOutcome& o) { return o.stored; }));
    if (result.ending == SendEnding::Done &&
        std::any_of(result.outcomes.begin(), result.outcomes.end(), [](const PresetOutcome& o) { return o.ranLate; })) {
        result.ending = SendEnding::RanLate;
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
    std::vector<int> notStored;
    for (const PresetOutcome& outcome : result.outcomes) {
        if (!outcome.stored && std::find(notStored.begin(), notStored.end(), outcome.program) == notStored.end()) {
            notStored.push_back(outcome.program);
        }
    }
    return std::to_string(result.stored) + " of " + std::to_string(result.presets) +
           (result.presets == 1 ? " preset was" : " presets were") + " stored completely" +
           (notStored.empty() ? std::string() : " (not stored: " + Programs(notStored) + ")");
}

std::string Programs(const std::vector<int>& programs)
{
    std::string text = programs.size() == 1 ? "program " : "programs ";
    for (std::size_t i = 0; i < programs.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == programs.size() ? " and " : ", ") + std::to_string(programs[i]);
    }
    return text;
}

namespace {

std::vector<int> ProgramsWhere(const SendResult& result, bool (*which)(const PresetOutcome&))
{
    std::vector<int> programs;
    for (const PresetOutcome& outcome : result.outcomes) {
        if (which(outcome)) {
            programs.push_back(outcome.program);
        }
    }
    return programs;
}

}  // namespace

std::string DescribeRepeats(const SendResult& result)
{
    const std::vector<int> again = ProgramsWhere(result, [](const PresetOutcome& o) { return o.attempts > 1; });
    std::string text = again.empty() ? std::string() : Programs(again) + " sent again: the MIDI system ran late";
    // A send that ran late to its end says these in its ending.
    const std::vector<int> broken = ProgramsWhere(result, [](const PresetOutcome& o) { return o.mayBeBroken; });
    if (!broken.empty() && result.ending != SendEnding::RanLate) {
        text += (text.empty() ? "" : "; ") + Programs(broken) + " may hold " +
                (broken.size() == 1 ? "a broken kit" : "broken kits");
    }
    return text;
}

std::string DescribeEnding(const SendResult& result)
{
    switch (result.ending) {
    case SendEnding::Done:
    case SendEnding::Stopped:
        return {};
    case SendEnding::PortFailed:
        return Describe(result.failure);
    case SendEnding::RanLate:
        break;
    }
    const std::vector<int> late = ProgramsWhere(result, [](const PresetOutcome& o) { return o.ranLate; });
    const std::vector<int> earlier =
        ProgramsWhere(result, [](const PresetOutcome& o) { return o.ranLate && !o.mayBeBroken; });
    const std::vector<int> broken = ProgramsWhere(result, [](const PresetOutcome& o) { return o.mayBeBroken; });
    const std::string keep = earlier.size() == 1 ? "may still hold its earlier kit" : "may still hold their earlier kits";
    const std::string mayBreak = broken.size() == 1 ? "may hold a broken kit" : "may hold broken kits";
    const std::string text = "the MIDI system ran late at every try of " + Programs(late);
    if (broken.empty() || earlier.empty()) {
        return text + ", which " + (broken.empty() ? keep : mayBreak);
    }
    return text + ": " + Programs(earlier) + " " + keep + ", " + Programs(broken) + " " + mayBreak;
}

}  // namespace t2tk::send
