#pragma once
// What a platform's MIDI library gives t2tk: its output ports, and one of them
// opened. On Linux it lives in a module of its own, loaded only when a port is
// needed, so that a plain conversion never loads RtMidi, ALSA or JACK.

#include <memory>
#include <string>
#include <vector>

#include "send/midi_port.h"

namespace t2tk::send {

struct SystemPorts {
    PortList list;
    std::vector<std::string> keys;  // per port: what tells it apart on this machine, for taking turns
};

class MidiSystem {
public:
    virtual ~MidiSystem() = default;
    // Looks the ports up afresh.
    virtual SystemPorts Ports() = 0;
    // Opens the port of that name among those Ports() last gave, found by its
    // name (a list number may belong to another port by now); null with the
    // reason, in our words when it is gone.
    virtual std::unique_ptr<MidiPort> Open(const std::string& name, SendError& failure) = 0;
};

// The platform's MIDI system; null with the reason when it cannot be had.
std::unique_ptr<MidiSystem> LoadMidiSystem(std::string& failure);

}  // namespace t2tk::send

// The module's one entry point (Linux): a new system, owned by the caller.
extern "C" t2tk::send::MidiSystem* t2tk_new_midi_system();
