#pragma once
// The ALSA sequencer's ports, through RtMidi: a message has left once RtMidi
// has drained the sequencer's output. Part of the MIDI module.

#include <memory>
#include <string>
#include <vector>

#include "send/midi_port.h"

namespace t2tk::send {

// The sequencer's output ports; empty with the reason when there are none.
std::vector<std::string> ListAlsaPorts(std::string& reason);

// The port called name, opened; null with the reason. Its times are on the
// steady clock.
std::unique_ptr<MidiPort> OpenAlsaPort(const std::string& name, SendError& failure);

}  // namespace t2tk::send
