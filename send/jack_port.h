#pragma once
// JACK's MIDI inputs, sent to from a client of our own: its process callback
// writes each message at the frame where it falls due, so the spacing is kept
// where the bytes leave, not where they are queued. Part of the MIDI module.

#include <memory>
#include <string>
#include <vector>

#include "send/midi_port.h"

namespace t2tk::send {

// The MIDI inputs of the JACK server (JACK_DEFAULT_SERVER, or the default
// one); empty with the reason when there is none.
std::vector<std::string> ListJackPorts(std::string& reason);

// A port of our own connected to the input called target; null with the
// reason when it cannot be made. Its times are on the steady clock.
std::unique_ptr<MidiPort> OpenJackPort(const std::string& target, SendError& failure);

}  // namespace t2tk::send
