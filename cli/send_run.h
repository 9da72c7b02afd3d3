#pragma once
// t2tk-convert's sending: the port list, and a send with its progress line and
// its clean stop on every signal that would end the process.

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "send/midi_port.h"

namespace t2tk::cli {

// Prints the MIDI output ports, one per line; 1 when there are none, which err says.
int ListPortsRun(std::ostream& out, std::ostream& err);

// The port meant by wanted (a number or a part of a name), or null when there
// is none or another t2tk sends to it (and wait is not set), which err says.
std::unique_ptr<send::MidiPort> OpenPortRun(const std::string& wanted, bool wait, std::ostream& err);

// Sends messages to port, with a progress line on err when progress is set.
// Returns the exit status: 0 sent, 1 the port failed or was cut off, 128 +
// the signal that stopped it.
int SendRun(send::MidiPort& port, const std::vector<std::uint8_t>& messages, std::ostream& err, bool progress);

// The progress line, cut to fit columns columns of a terminal.
std::string ProgressLine(const std::string& text, std::size_t columns);

}  // namespace t2tk::cli
