#include "cli/send_run.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <functional>
#include <stop_token>
#include <thread>

#include "cli/cli_options.h"
#include "convert/conversion_request.h"
#include "send/port_choice.h"
#include "send/sender.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>


#include "convert/ending_signals.h"
#endif

namespace t2tk::cli {

namespace {

std::stop_source g_stop;
std::atomic<int> g_signal{0};

#ifdef _WIN32
// Ctrl-C, Ctrl-Break, a closed console: the system calls this on a thread of
// its own, so it may ask for the stop itself.
BOOL WINAPI StopOnConsoleEvent(DWORD /*event*/)
{
    g_signal.store(SIGINT);
    g_stop.request_stop();
    return TRUE;
}

class StopOnSignals {
public:
    StopOnSignals() { ::SetConsoleCtrlHandler(StopOnConsoleEvent, TRUE); }
    ~StopOnSignals() { ::SetConsoleCtrlHandler(StopOnConsoleEvent, FALSE); }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;
};

std::size_t TerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    return ::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info) != 0
               ? static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1)
               : 80;
}

// The console clears the rest of a line on ESC[K only with virtual-terminal
// processing on; without it the line is padded with blanks instead.
bool ConsoleTakesEscapes()
{
    HANDLE console = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return ::GetConsoleMode(console, &mode) != 0 &&
           ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
#else
int g_wake[2] = {-1, -1};

extern "C" void NoteSignal(int signal)
{
    const auto byte = static_cast<unsigned char>(signal);
    (void)!::write(g_wake[1], &byte, 1);  // all a handler may safely do
}

// Every signal that would end the process stops the send between two
// messages instead. A handler may do next to nothing, so it writes the signal
// down a pipe, and a thread of ours asks for the stop.
class StopOnSignals {
public:
    StopOnSignals()
    {
        if (::pipe(g_wake) != 0) {
            return;
        }
        {
            const EndingSignalsBlocked blocked;  // this thread leaves them to the others
            m_watcher = std::thread([] {
                unsigned char byte = 0;
                while (::read(g_wake[0], &byte, 1) < 0 && errno == EINTR) {
                }
                if (byte != 0) {
                    g_signal.store(byte);
                    g_stop.request_stop();
                }
            });
        }
        struct sigaction action {};
        action.sa_handler = NoteSignal;
        sigfillset(&action.sa_mask);
        const sigset_t ending = EndingSignals();
        for (int signal = 1; signal < NSIG; ++signal) {
            if (sigismember(&ending, signal) == 1 && ::sigaction(signal, nullptr, &m_previous[signal]) == 0 &&
                m_previous[signal].sa_handler != SIG_IGN) {
                m_handled[signal] = true;
                ::sigaction(signal, &action, nullptr);
            }
        }
    }
    ~StopOnSignals()
    {
        for (int signal = 1; signal < NSIG; ++signal) {
            if (m_handled[signal]) {
                ::sigaction(signal, &m_previous[signal], nullptr);
            }
        }
        if (m_watcher.joinable()) {
            const unsigned char done = 0;
            (void)!::write(g_wake[1], &done, 1);
            m_watcher.join();
        }
        ::close(g_wake[0]);
        ::close(g_wake[1]);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    std::thread m_watcher;
    struct sigaction m_previous[NSIG] = {};
    bool m_handled[NSIG] = {};
};

std::size_t TerminalColumns()
{
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

bool ConsoleTakesEscapes()
{
    return true;
}
#endif

std::string StatusText(const send::SendStatus& status)
{
    return "Sending " + Printable(status.name) + " to program " + std::to_string(status.program) + " (" +
           std::to_string(status.preset) + " of " + std::to_string(status.presets) + "): message " +
           std::to_string(status.message) + " of " + std::to_string(status.messages) + ", " +
           send::TimeLeft(status.left) + " left";
}

}  // namespace

std::string ProgressLine(const std::string& text, std::size_t columns)
{
    // Short of the last column, so that no terminal wraps the line; each
    // character of UTF-8 takes one column.
    std::size_t shown = 0;
    std::size_t end = 0;
    while (end < text.size() && shown + 1 < columns) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            ++end;
        }
        ++shown;
    }
    return text.substr(0, end);
}

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

std::unique_ptr<send::MidiPort> OpenPortRun(const std::string& wanted, bool wait, std::ostream& err)
{
    send::PortProblem problem;
    std::unique_ptr<send::MidiPort> port =
        send::OpenOutputPort(wanted, problem, wait ? send::PortTurn::Wait : send::PortTurn::Refuse);
    if (port == nullptr) {
        err << kProgramName << problem.reason << (problem.busy ? " (--wait waits for it)" : "");
        err << (problem.ports.empty() ? "\n" : "; the MIDI output ports are:\n" + send::ListPorts(problem.ports));
    }
    return port;
}

int SendRun(send::MidiPort& port, const std::vector<std::uint8_t>& messages, std::ostream& err, bool progress)
{
    g_stop = std::stop_source();
    g_signal.store(0);
    const StopOnSignals stopOnSignals;
    const bool escapes = progress && ConsoleTakesEscapes();
    std::function<void(const send::SendStatus&)> show;
    if (progress) {
        // One line, rewritten in place and fitted to the terminal as it is now.
        show = [&err, escapes](const send::SendStatus& status) {
            const std::size_t columns = TerminalColumns();
            const std::string line = ProgressLine(StatusText(status), columns);
            err << (escapes ? "\r\x1b[K" : "\r") << line
                << (escapes ? std::string() : std::string(columns - 1 - std::min(columns - 1, line.size()), ' '))
                << std::flush;
        };
    }
    const send::SendResult result = send::SendMessages(port, messages, g_stop.get_token(), show);
    if (progress) {
        err << (escapes ? "\r\x1b[K" : "\r" + std::string(TerminalColumns() - 1, ' ') + "\r") << std::flush;
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
