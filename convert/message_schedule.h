#pragma once
// The module's pacing: the time it needs before each message. A second before
// each program dump, a quarter second before every other message, and half a
// second after the last before it has stored everything. The MIDI file writes
// it as delta times and the sender waits it out, so the two never disagree.

#include <cstddef>
#include <cstdint>

namespace t2tk {

inline constexpr int kTicksPerQuarter = 48;
inline constexpr long kMicrosecondsPerQuarter = 500000;  // 120 beats per minute
inline constexpr int kProgramDumpTicks = 96;
inline constexpr int kMessageTicks = 24;
inline constexpr int kFinalTicks = 48;

constexpr long TicksToMicroseconds(int ticks)
{
    return ticks * kMicrosecondsPerQuarter / kTicksPerQuarter;
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

}  // namespace t2tk
