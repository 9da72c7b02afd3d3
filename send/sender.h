#pragma once
// Sends a conversion's messages to a MIDI port on the module's own schedule.

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <string>

#include "send/send_clock.h"

namespace t2tk::send {

class MidiPort;

// Where a send stands, told before each message.
struct SendStatus {
    int preset;                      // 1-based
    int presets;
    std::string name;                // the preset's name, as its program dump carries it
    int program;                     // where it goes, 1..50
    int message;                     // 1-based, of the whole send
    int messages;
    std::chrono::milliseconds left;  // until the module has stored the last preset
};

enum class SendEnding {
    Done,
    Stopped,     // a stop was asked for
    PortFailed,  // the port failed, went away or was cut off
};

struct SendResult {
    SendEnding ending = SendEnding::Done;
    int stored = 0;   // presets whose store request left and whose storing time has passed
    int presets = 0;  // presets in the messages
    std::string failure;
};

// Sends the messages to port, each once the spacing the module needs has
// passed since the one before it left (the port keeps it, so a late message
// moves the rest later), then waits until the module has stored the last. A
// stop is seen between messages, never in the middle of one; once a store
// request has left, its storing time is waited out even after a stop, so that
// the account says what the module holds. clock: the one the port was
// opened with.
SendResult SendMessages(MidiPort& port, std::span<const std::uint8_t> messages, const std::stop_token& stop,
                        const std::function<void(const SendStatus&)>& onMessage = {},
                        SendClock& clock = SteadyClock());

// The time left as minutes and seconds, rounded up: "0:23".
std::string TimeLeft(std::chrono::milliseconds left);

// What a send that ended early did, e.g. "2 of 4 presets were stored completely".
std::string DescribeStored(const SendResult& result);

}  // namespace t2tk::send
