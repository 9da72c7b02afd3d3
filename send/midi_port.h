#pragma once
// The MIDI output ports of the machine, behind one small interface: JACK and
// the ALSA sequencer on Linux, WinMM on Windows. A port keeps the module's
// spacing itself, where the bytes leave the computer: a message goes no
// sooner than its spacing after the one before it actually left.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "send/send_clock.h"
#include "send/send_error.h"

namespace t2tk::send {

// What became of a message handed to a port.
enum class Departure {
    Left,     // it left the computer whole
    Stopped,  // a stop came first: nothing of it went out
    Failed,   // the port failed, went away or was cut off
    Doubted,  // nothing of it went out: a message since Watch() may not have reached the port
};

class MidiPort {
public:
    virtual ~MidiPort() = default;
    // Sends one whole message, no sooner than spacing after the message before
    // it left (the first: after the port was opened), and returns once it has
    // left, as far as the port can tell; left is then the time it did, on the
    // clock the port was opened with. On Failed, failure says why.
    virtual Departure Send(std::span<const std::uint8_t> message, std::chrono::microseconds spacing,
                           const std::stop_token& stop, SendClock::TimePoint& left, SendError& failure) = 0;

    // A MIDI system that runs late (a JACK cycle that overran, a client that
    // did not finish in time) may lose a message it took: the port then
    // doubts every message handed over around that time. The messages sent
    // from Watch() on form a whole (one preset): once any of them is in
    // doubt, Send returns Doubted instead of sending, and Whole says false.
    // Watch first waits, until a stop, while the MIDI system still runs late:
    // a whole begun then would be in doubt again.
    virtual void Watch(const std::stop_token& /*stop*/) {}
    // Waits until the fate of every message since Watch() is known (a
    // doubt comes within a short time of the message, or never), and says
    // whether all of them reached the port.
    virtual bool Whole() { return true; }
};

// A port whose messages leave as they are handed over and whose system says
// when they have gone (ALSA once its output is drained, WinMM once the driver
// hands the buffer back): it waits on a clock for the spacing to pass, hands
// the message over, and takes the time once Deliver returns.
class PacedPort : public MidiPort {
public:
    Departure Send(std::span<const std::uint8_t> message, std::chrono::microseconds spacing,
                   const std::stop_token& stop, SendClock::TimePoint& left, SendError& failure) override;
    bool Whole() override { return !InDoubt(); }

protected:
    explicit PacedPort(SendClock& clock) : m_clock(clock), m_previous(clock.Now()) {}
    // Hands the message over; returns once it has gone, or false with the reason.
    virtual bool Deliver(std::span<const std::uint8_t> message, SendError& failure) = 0;
    // Whether a message since Watch() may not have gone: never, where the
    // system says when each has gone.
    virtual bool InDoubt() { return false; }

private:
    SendClock& m_clock;
    SendClock::TimePoint m_previous;  // when the last message left, or the port was opened
};

struct PortList {
    std::vector<std::string> names;
    std::string reason;  // why there are none, when there are none
};

PortList ListOutputPorts();

// Whether a send waits while another t2tk sends to the same port.
enum class PortTurn {
    Refuse,  // it fails at once, saying so
    Wait,    // it waits until the other is done, or until stop
};

// Why a port could not be had.
struct PortProblem {
    SendError error;                 // e.g. "\"synth\" matches no MIDI output port"; Busy: another t2tk sends to it
    std::vector<std::string> ports;  // the ports there are, when the one meant is not among them
    bool stopped = false;            // a stop came before the port was had
};

// Opens the port meant by wanted: its number in ListOutputPorts, its whole
// name, or a part of its name. Only one t2tk sends to a port at a time: the
// port stays taken for as long as the MidiPort lives; a wait for its turn
// begins with waiting(port's name), and afterwards the port is found again by
// its name. Null, with the problem, otherwise.
std::unique_ptr<MidiPort> OpenOutputPort(const std::string& wanted, PortProblem& problem,
                                         PortTurn turn = PortTurn::Refuse, const std::stop_token& stop = {},
                                         const std::function<void(const std::string&)>& waiting = {});

}  // namespace t2tk::send
