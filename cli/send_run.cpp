#include "cli/send_run.h"

#include <atomic>
#include <csignal>
#include <functional>

#include "cli/cli_options.h"
#include "convert/conversion_request.h"
#include "send/midi_port.h"
#include "send/port_choice.h"
#include "send/sender.h"

namespace t2tk::cli {

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM};

std::atomic<bool> g_stop{false};
std::atomic<int> g_signal{0};

extern "C" void StopSending(int signal)
{
    g_signal.store(signal);
    g_stop.store(true);
}

// Ctrl-C and SIGTERM stop the send between two messages, for as long as it lives.
class StopOnSignals {
public:
    StopOnSignals()
    {
        g_stop.store(false);
        g_signal.store(0);
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            m_previous[i] = std::signal(kEndingSignals[i], StopSending);
        }
    }
    ~StopOnSignals()
    {
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            std::signal(kEndingSignals[i], m_previous[i]);
        }
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    void (*m_previous[std::size(kEndingSignals)])(int) = {};
};

// One line, rewritten in place: "Sending Rock Kit to program 5 (1 of 4): message 12 of 121, 0:23 left".
void ShowStatus(const send::SendStatus& status, std::ostream& err)
{
    err << "\r\x1b[KSending " << Printable(status.name) << " to program " << status.program << " (" << status.preset << " of "
        << status.presets << "): message " << status.message << " of " << status.messages << ", " << send::TimeLeft(status.left) << " left" << std::flush;
}

}  // namespace

int ListPortsRun(std::ostream& out, std::ostream& err)
{
    const send::PortList ports = send::ListOutputPorts();
    if (ports.names.empty()) {
        err << kProgramName << send::NoPortsMessage(ports.reason) << "\n";
        return 1;
    }
    out << send::ListPorts(ports.names);
    return 0;
}

std::unique_ptr<send::MidiPort> OpenPortRun(const std::string& wanted, std::ostream& err)
{
    std::string failure;
    std::unique_ptr<send::MidiPort> port = send::OpenOutputPort(wanted, failure);
    if (port == nullptr) {
        err << kProgramName << failure << (!failure.empty() && failure.back() == '\n' ? "" : "\n");
    }
    return port;
}

int SendRun(send::MidiPort& port, const std::vector<std::uint8_t>& messages, std::ostream& err, bool progress)
{
    const StopOnSignals stopOnSignals;
    std::function<void(const send::SendStatus&)> show;
    if (progress) {
        show = [&err](const send::SendStatus& status) { ShowStatus(status, err); };
    }
    const send::SendResult result = send::SendMessages(port, messages, g_stop, show);
    if (progress) {
        err << "\r\x1b[K" << std::flush;
    }
    switch (result.ending) {
    case send::SendEnding::Done:
        return 0;
    case send::SendEnding::Stopped:
        err << kProgramName << "stopped: " << send::DescribeStored(result) << "\n";
        return 128 + g_signal.load();
    case send::SendEnding::PortFailed:
        err << kProgramName << result.failure << "; " << send::DescribeStored(result) << "\n";
        return 1;
    }
    return 1;
}

}  // namespace t2tk::cli
