#include "app/dialog_send.h"

#ifndef _WIN32
#include "files/ending_signals.h"
#endif

namespace t2tk::app {

namespace {

class Machine : public MidiPorts {
public:
    send::PortList List() override { return send::ListOutputPorts(); }
    std::unique_ptr<send::MidiPort> Open(const std::string& name, send::PortProblem& problem) override
    {
        return send::OpenOutputPort(name, problem);
    }
};

}  // namespace

MidiPorts& SystemMidiPorts()
{
    static Machine ports;
    return ports;
}

SendSession::SendSession(std::unique_ptr<send::MidiPort> port, std::vector<std::uint8_t> messages,
                         SendCallbacks callbacks, send::SendClock& clock)
    : m_port(std::move(port)), m_messages(std::move(messages))
{
#ifndef _WIN32
    const EndingSignalsBlocked blocked;  // the thread leaves them to the window's
#endif
    m_thread = std::thread([this, callbacks = std::move(callbacks), &clock] {
        const send::SendResult result =
            send::SendMessages(*m_port, m_messages, m_stop.get_token(), callbacks.progress, clock);
        if (callbacks.finished) {
            callbacks.finished(result);
        }
    });
}

SendSession::~SendSession()
{
    m_stop.request_stop();
    m_thread.join();
}

}  // namespace t2tk::app
