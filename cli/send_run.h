#pragma once
// t2tk-convert's sending: the port list, and a send with its progress and its
// clean stop on Ctrl-C or SIGTERM.

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
// is none, which err says with the ports there are.
std::unique_ptr<send::MidiPort> OpenPortRun(const std::string& wanted, std::ostream& err);

// Sends messages to port, with progress on err when progress is set. Returns
// the exit status: 0 sent, 1 the port failed, 128 + the signal that stopped it.
int SendRun(send::MidiPort& port, const std::vector<std::uint8_t>& messages, std::ostream& err, bool progress);

}  // namespace t2tk::cli
