#include "send/sender.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "convert/message_schedule.h"
#include "convert/message_stream.h"
#include "send/midi_port.h"

namespace t2tk::send {

namespace {

using Clock = std::chrono::steady_clock;

// The program dump and store request of a preset: what a status line shows.
bool IsProgramDump(const ScheduledMessage& m)
{
    return m.length > kTypeOffset && m.bytes[kTypeOffset] == kProgramDumpType;
}
bool IsStoreRequest(const ScheduledMessage& m)
{
    return m.length == kRequestLength && m.bytes[4] == 0x07 && m.bytes[5] == 0x01;
}

std::string NameOf(const ScheduledMessage& programDump)
{
    // Record bytes 1 to 16, behind the seven bytes of the message head.
    std::string name;
    for (std::size_t i = 8; i < 24 && i < programDump.length && programDump.bytes[i] != 0; ++i) {
        name += static_cast<char>(programDump.bytes[i]);
    }
    return name;
}

// Waits until the deadline, looking at stop in short steps; false when stopped.
bool WaitUntil(Clock::time_point deadline, const std::atomic<bool>& stop)
{
    while (Clock::now() < deadline) {
        if (stop.load()) {
            return false;
        }
        std::this_thread::sleep_until(std::min(deadline, Clock::now() + std::chrono::milliseconds(50)));
    }
    return !stop.load();
}

}  // namespace

SendResult SendMessages(MidiPort& port, std::span<const std::uint8_t> messages, const std::atomic<bool>& stop,
                        const std::function<void(const SendStatus&)>& onMessage)
{
    // The messages and the microseconds from the start at which each is due, as
    // in the MIDI file: the first too waits its quarter second, which gives a
    // connection just made the time to carry it.
    std::vector<ScheduledMessage> schedule;
    std::vector<long> due;
    SendResult result;
    ScheduledMessage message{};
    for (std::size_t position = 0; NextMessage(messages.data(), messages.size(), position, message);) {
        schedule.push_back(message);
        due.push_back((due.empty() ? 0 : due.back()) + TicksToMicroseconds(message.ticks));
        result.presets += IsStoreRequest(message) ? 1 : 0;
    }
    const long end = (schedule.empty() ? 0 : due.back()) + TicksToMicroseconds(kFinalTicks);

    // The preset each message belongs to: the init request to the first.
    std::vector<std::size_t> dumpOf(schedule.size(), 0);
    const auto first = std::find_if(schedule.begin(), schedule.end(), IsProgramDump);
    std::size_t dump = static_cast<std::size_t>(first - schedule.begin());
    for (std::size_t i = 0; i < schedule.size(); ++i) {
        dump = IsProgramDump(schedule[i]) ? i : dump;
        dumpOf[i] = dump;
    }

    const Clock::time_point start = Clock::now();
    SendStatus status{1, result.presets, "", 0, 0, static_cast<int>(schedule.size()), {}};
    for (std::size_t i = 0; i < schedule.size(); ++i) {
        message = schedule[i];
        if (!WaitUntil(start + std::chrono::microseconds(due[i]), stop)) {
            result.ending = SendEnding::Stopped;
            return result;
        }
        if (dumpOf[i] < schedule.size()) {
            status.name = NameOf(schedule[dumpOf[i]]);
            status.program = schedule[dumpOf[i]].bytes[6] + 1;
        }
        status.message = static_cast<int>(i) + 1;
        status.left = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::microseconds(end - due[i]));
        if (onMessage) {
            onMessage(status);
        }
        if (!port.Send(message.bytes, message.length, result.failure)) {
            result.ending = SendEnding::PortFailed;
            return result;
        }
        if (IsStoreRequest(message)) {
            ++result.stored;
            status.preset = std::min(result.stored + 1, result.presets);
        }
    }
    // The module stores the last preset in this time; a stop cuts only the wait.
    if (!WaitUntil(start + std::chrono::microseconds(end), stop)) {
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
