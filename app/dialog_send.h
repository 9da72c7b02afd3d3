#pragma once
// Sending a conversion from the dialog, with no window of its own: the ports
// (behind an interface, so that tests bring their own), and a send that runs
// on a thread of its own and tells how it goes through callbacks (the
// dialogs' view of it is ShownOutcome's).

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "send/midi_port.h"
#include "send/sender.h"

namespace t2tk::app {

class MidiPorts {
public:
    virtual ~MidiPorts() = default;
    virtual send::PortList List() = 0;
    // The port of that name, taken for as long as it lives; null with the problem.
    virtual std::unique_ptr<send::MidiPort> Open(const std::string& name, send::PortProblem& problem) = 0;
};

// The machine's ports.
MidiPorts& SystemMidiPorts();

struct SendCallbacks {
    std::function<void(const send::SendStatus&)> progress;  // before each message, on the send's thread
    std::function<void(const send::SendResult&)> finished;  // once, on the send's thread, as it ends
};

class SendSession {
public:
    // Starts sending messages to port on a thread of its own.
    SendSession(std::unique_ptr<send::MidiPort> port, std::vector<std::uint8_t> messages, SendCallbacks callbacks,
                send::SendClock& clock = send::SteadyClock());
    // Stops the send and waits for its thread.
    ~SendSession();
    SendSession(const SendSession&) = delete;
    SendSession& operator=(const SendSession&) = delete;

    // Asks the send to stop between two messages; finished still comes.
    void Stop() { m_stop.request_stop(); }

private:
    std::unique_ptr<send::MidiPort> m_port;
    std::vector<std::uint8_t> m_messages;
    std::stop_source m_stop;
    std::thread m_thread;
};

}  // namespace t2tk::app
