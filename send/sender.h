#pragma once
// Sends a conversion's messages to a MIDI port on the module's own schedule.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

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
    Stopped,     // stop was set
    PortFailed,  // the port failed or went away
};

struct SendResult {
    SendEnding ending = SendEnding::Done;
    int stored = 0;   // presets whose store request went out
    int presets = 0;  // presets in the messages
    std::string failure;
};

// Sends the messages to port, each after the wait the module needs, as the
// MIDI file spaces them, then waits until the module has stored the last. stop is looked at
// between messages and while waiting, never in the middle of one.
SendResult SendMessages(MidiPort& port, std::span<const std::uint8_t> messages, const std::atomic<bool>& stop,
                        const std::function<void(const SendStatus&)>& onMessage = {});

// The time left as minutes and seconds, rounded up: "0:23".
std::string TimeLeft(std::chrono::milliseconds left);

// What a send that ended early did, e.g. "2 of 4 presets were stored completely".
std::string DescribeStored(const SendResult& result);

}  // namespace t2tk::send
