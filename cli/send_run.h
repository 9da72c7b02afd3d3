#pragma once
// t2tk-convert's sending: the port list, and a send with its progress line and
// its clean stop on every signal that would end the process.

#include <cstdint>
#include <memory>
#include <ostream>
#include <stop_token>
#include <string>
#include <vector>

#include "send/midi_port.h"

namespace t2tk::cli {

// Prints the MIDI output ports, one per line; 1 when there are none, which err says.
int ListPortsRun(std::ostream& out, std::ostream& err);

// For as long as it lives, every signal that would end the process stops the
// send instead, between two messages (or the wait for the port's turn), and
// the run ends with 128 plus its number. One at a time.
class SendSignals {
public:
    SendSignals();
    ~SendSignals();
    SendSignals(const SendSignals&) = delete;
    SendSignals& operator=(const SendSignals&) = delete;

    std::stop_token Token() const;
    // The exit status of a run such a signal stopped: 128 + its number.
    int StoppedStatus() const;
};

// The port meant by wanted (a number or a part of a name), or null when there
// is none or another t2tk sends to it (and wait is not set), which err says;
// status is then the exit status.
std::unique_ptr<send::MidiPort> OpenPortRun(const std::string& wanted, bool wait, const SendSignals& signals,
                                            std::ostream& err, int& status);

// Sends messages to port, with a progress line on err when progress is set.
// Returns the exit status: 0 sent, 1 the port failed or was cut off, 128 +
// the signal that stopped it. err gets the account of what was stored when
// the send ends early, and with accountAlways when it does not too.
int SendRun(send::MidiPort& port, const std::vector<std::uint8_t>& messages, const SendSignals& signals,
            std::ostream& err, bool progress, bool accountAlways = false);

// The progress line, cut to fit columns columns of a terminal.
std::string ProgressLine(const std::string& text, std::size_t columns);

}  // namespace t2tk::cli
