#pragma once
// The module's pacing: the time it needs before each message. A second before
// each program dump, a quarter second before every other message, and half a
// second after the last before it has stored everything. The MIDI file writes
// it as delta times, and a send (native, or the web page's) keeps it from
// SendSchedule, so the three never disagree.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace t2tk {

inline constexpr int kTicksPerQuarter = 48;
inline constexpr long long kMicrosecondsPerQuarter = 500000;  // 120 beats per minute
inline constexpr int kProgramDumpTicks = 96;
inline constexpr int kMessageTicks = 24;
inline constexpr int kFinalTicks = 48;

constexpr std::chrono::microseconds TicksToTime(int ticks)
{
    return std::chrono::microseconds(ticks * kMicrosecondsPerQuarter / kTicksPerQuarter);
}

// One message of a buffer and the ticks to wait before it.
struct ScheduledMessage {
    const std::uint8_t* bytes;  // its 0xF0
    std::size_t length;         // up to and including its 0xF7, or to the end of the buffer
    int ticks;
};

// The message at position among the first count bytes of messages, and moves
// position past it. False at the end, or where a byte other than 0xF0 stands
// in a message's place.
bool NextMessage(const std::uint8_t* messages, std::size_t count, std::size_t& position, ScheduledMessage& message);

// One message of a send, with the time the module needs before it and what a
// status line tells of it.
struct SendStep {
    ScheduledMessage message;
    std::chrono::microseconds spacing;  // the least time after the message before it went out (or the start)
    int preset;                         // 1-based: the preset it belongs to (the init request to the first)
    int program;                        // where that preset goes, 1..50; 0 before any program dump
    std::string name;                   // that preset's name, as its program dump carries it
    bool storesPreset;                  // a store request: the preset is complete once it is out
};

// A send's messages in order. A sender waits for each message until its
// spacing has passed since the one before it actually went out: a late
// message moves the rest later, and none ever follows another sooner than the
// module can take it.
class SendSchedule {
public:
    explicit SendSchedule(std::span<const std::uint8_t> messages);

    const std::vector<SendStep>& steps() const { return m_steps; }
    int presets() const { return m_presets; }
    // Once step index is out, the time until the module has stored the last
    // preset, when every later message goes out on time.
    std::chrono::microseconds LeftAfter(std::size_t index) const;
    // How long the module needs after the last message to store it.
    static constexpr std::chrono::microseconds kFinalWait = TicksToTime(kFinalTicks);

private:
    std::vector<SendStep> m_steps;
    std::vector<std::chrono::microseconds> m_left;  // LeftAfter of each step
    int m_presets = 0;
};

}  // namespace t2tk
