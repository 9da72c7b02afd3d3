#pragma once
// The MIDI output ports of the machine, behind one small interface: RtMidi
// (the ALSA sequencer and JACK) on Linux, WinMM on Windows.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace t2tk::send {

class MidiPort {
public:
    virtual ~MidiPort() = default;
    // Sends one complete message; false with the reason when the port failed
    // or is gone, so that what follows would be lost.
    virtual bool Send(const std::uint8_t* message, std::size_t size, std::string& failure) = 0;
};

struct PortList {
    std::vector<std::string> names;
    std::string reason;  // why there are none, when there are none
};

PortList ListOutputPorts();

// Opens the port meant by wanted: its number in ListOutputPorts, or a part of
// its name. Null with the reason (the ports there are among it) otherwise.
std::unique_ptr<MidiPort> OpenOutputPort(const std::string& wanted, std::string& failure);

}  // namespace t2tk::send
