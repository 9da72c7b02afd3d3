#include "app/dialog_send.h"

#include "app/converter_requests.h"
#include "app/request_dialogs.h"
#include "app/send_status.h"
#include "convert/conversion_request.h"

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

PortForSend TakePortForSend(const RequestOutcome& outcome, const std::string& port, MidiPorts& ports,
                            RequestDialogs& dialogs)
{
    PortForSend taken;
    if (outcome.incomplete > 0) {
        const std::string count = IncompleteCount(outcome.incomplete, outcome.presets);
        if (!dialogs.AskSendIncomplete(SendIncompleteQuestion(count, static_cast<std::size_t>(outcome.incomplete)))) {
            taken.line = "Nothing sent: " + count + ".";
            return taken;
        }
    }
    send::PortProblem problem;
    taken.port = ports.Open(port, problem);
    if (taken.port == nullptr) {
        const SendWords words = NothingSentWords(problem, outcome.output);
        taken.line = words.line;
        dialogs.ShowSendError(words.failure);
    }
    return taken;
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
