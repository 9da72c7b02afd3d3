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
    // Sends one complete message; false with the reason when the port failed,
    // went away or is no longer connected, so that what follows would be lost.
    virtual bool Send(const std::uint8_t* message, std::size_t size, std::string& failure) = 0;
};

struct PortList {
    std::vector<std::string> names;
    std::string reason;  // why there are none, when there are none
};

PortList ListOutputPorts();

// Whether a send waits while another t2tk sends to the same port.
enum class PortTurn {
    Refuse,  // it fails at once, saying so
    Wait,    // it waits until the other is done
};

// Why a port could not be had.
struct PortProblem {
    std::string reason;              // e.g. "\"synth\" matches no MIDI output port"
    std::vector<std::string> ports;  // the ports there are, when the one meant is not among them
    bool busy = false;               // another t2tk sends to it
};

// Opens the port meant by wanted: its number in ListOutputPorts, its whole
// name, or a part of its name. Only one t2tk sends to a port at a time: the
// port stays taken for as long as the MidiPort lives. Null, with the problem,
// otherwise.
std::unique_ptr<MidiPort> OpenOutputPort(const std::string& wanted, PortProblem& problem,
                                         PortTurn turn = PortTurn::Refuse);

}  // namespace t2tk::send
