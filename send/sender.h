#pragma once
// Sends a conversion's messages to a MIDI port on the module's own schedule.

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "send/send_clock.h"
#include "send/send_error.h"

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
    int attempt = 1;                 // 2 and 3: the preset is sent again, the MIDI system having run late
};

enum class SendEnding {
    Done,
    Stopped,     // a stop was asked for
    PortFailed,  // the port failed, went away or was cut off
    RanLate,     // every preset was tried, but the MIDI system ran late at every try of some
};

// What became of one preset of a send.
struct PresetOutcome {
    int program = 0;     // 1..50
    std::string name;    // as its program dump carries it
    int attempts = 0;    // tries begun; more than one: sent again, the MIDI system having run late
    bool stored = false;  // a try reached the port whole, and the module's storing time has passed
    bool ranLate = false; // its last try was in doubt: the program may still hold its earlier kit
    // A try's store request left before a doubt about its messages came: the
    // module may have stored a kit short of some of them.
    bool mayBeBroken = false;
};

struct SendResult {
    SendEnding ending = SendEnding::Done;
    int stored = 0;   // presets stored completely
    int presets = 0;  // presets in the messages
    SendError failure;
    std::vector<PresetOutcome> outcomes;  // one per preset, in the order sent
};

// How often a preset is tried at most: once, and twice more when the MIDI
// system ran late around one of its messages.
inline constexpr int kPresetTries = 3;

// Sends the messages to port, each once the spacing the module needs has
// passed since the one before it left (the port keeps it, so a late message
// moves the rest later), then waits until the module has stored the last. A
// preset of which a message may not have reached the port (the MIDI system
// ran late) is sent again whole, from its program dump, so that no store
// request ever follows a message in doubt. A stop is seen between messages,
// never in the middle of one; once a store request has left, its storing time
// is waited out even after a stop or a failure of the port, so that the
// account says what the module holds. clock: the one the port was opened with.
SendResult SendMessages(MidiPort& port, std::span<const std::uint8_t> messages, const std::stop_token& stop,
                        const std::function<void(const SendStatus&)>& onMessage = {},
                        SendClock& clock = SteadyClock());

// The time left as minutes and seconds, rounded up: "0:23".
std::string TimeLeft(std::chrono::milliseconds left);

// What a send that ended early did, e.g. "2 of 4 presets were stored
// completely (not stored: programs 7 and 8)".
std::string DescribeStored(const SendResult& result);

// The presets sent again, e.g. "program 7 sent again: the MIDI system ran
// late"; empty when there were none.
std::string DescribeRepeats(const SendResult& result);

// Why a send ended, in a sentence of its own: the failure of the port, or the
// programs whose every try ran late; empty when it was done or stopped.
std::string DescribeEnding(const SendResult& result);

// "program 7", "programs 7 and 9", "programs 7, 9 and 12".
std::string Programs(const std::vector<int>& programs);

}  // namespace t2tk::send
