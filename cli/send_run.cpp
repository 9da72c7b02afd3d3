#include "cli/send_run.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>

#include "cli/cli_options.h"
#include "convert/conversion_request.h"
#include "send/port_choice.h"
#include "send/sender.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "files/ending_signals.h"
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

void StartHandling()
{
    ::SetConsoleCtrlHandler(StopOnConsoleEvent, TRUE);
}

void StopHandling()
{
    ::SetConsoleCtrlHandler(StopOnConsoleEvent, FALSE);
}

// A console takes a write when it takes it (a selection holds it); the
// progress line's own thread waits for it.
bool TerminalTakesWrites()
{
    return true;
}

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
    // All a handler may safely do: note it where a wait for the port's turn
    // looks, and write it down a pipe to the thread that asks for the stop.
    g_signal.store(signal);
    const auto byte = static_cast<unsigned char>(signal);
    (void)!::write(g_wake[1], &byte, 1);
}

std::thread g_watcher;
PreviousActions g_previous;

// Every signal that would end the process stops the send between two
// messages instead. A handler may do next to nothing, so it writes the signal
// down a pipe, and a thread of ours asks for the stop.
void StartHandling()
{
    if (::pipe(g_wake) != 0) {
        return;
    }
    {
        const EndingSignalsBlocked blocked;  // this thread leaves them to the others
        g_watcher = std::thread([] {
            unsigned char byte = 0;
            while (::read(g_wake[0], &byte, 1) < 0 && errno == EINTR) {
            }
            if (byte != 0) {
                g_stop.request_stop();
            }
        });
    }
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigfillset(&action.sa_mask);
    HandleSignals(EndingSignals(), action, g_previous);
}

void StopHandling()
{
    RestoreSignals(g_previous);
    if (g_watcher.joinable()) {
        const unsigned char done = 0;
        (void)!::write(g_wake[1], &done, 1);
        g_watcher.join();
    }
    ::close(g_wake[0]);
    ::close(g_wake[1]);
}

// Whether the terminal takes a line now: one stopped with Ctrl-S does not,
// and a progress line that would wait for it is left out.
bool TerminalTakesWrites()
{
    pollfd terminal{STDERR_FILENO, POLLOUT, 0};
    return ::poll(&terminal, 1, 0) == 1 && (terminal.revents & POLLOUT) != 0;
}

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

// A try sent again says so early in the line, where 80 columns still show it.
std::string StatusText(const send::SendStatus& status)
{
    const bool again = status.attempt > 1;
    return "Sending " + Printable(status.name) + " to program " + std::to_string(status.program) +
           (again ? " again" : "") + " (" + std::to_string(status.preset) + " of " + std::to_string(status.presets) +
           "): message " + std::to_string(status.message) + " of " + std::to_string(status.messages) + ", " +
           send::TimeLeft(status.left) + " left" + (again ? "; the MIDI system ran late" : "");
}

// The progress line, written by a thread of its own: a terminal that holds a
// write holds that thread, never the send. Only the latest status is shown.
class ProgressWriter {
public:
    explicit ProgressWriter(std::ostream& err) : m_err(err), m_escapes(ConsoleTakesEscapes())
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~ProgressWriter()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_one();
        m_thread.join();
    }
    ProgressWriter(const ProgressWriter&) = delete;
    ProgressWriter& operator=(const ProgressWriter&) = delete;

    void Show(const send::SendStatus& status)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_next = status;
        }
        m_changed.notify_one();
    }

private:
    void Run()
    {
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_done || m_next; });
            const std::optional<send::SendStatus> status = std::exchange(m_next, std::nullopt);
            const bool done = m_done;
            lock.unlock();
            if (status && TerminalTakesWrites()) {
                // One line, rewritten in place and fitted to the terminal as it is now.
                const std::size_t columns = TerminalColumns();
                const std::string line = ProgressLine(StatusText(*status), columns);
                m_err << (m_escapes ? "\r\x1b[K" : "\r") << line
                      << (m_escapes ? std::string() : std::string(columns - 1 - std::min(columns - 1, line.size()), ' '))
                      << std::flush;
            }
            if (done) {
                if (TerminalTakesWrites()) {
                    m_err << (m_escapes ? "\r\x1b[K" : "\r" + std::string(TerminalColumns() - 1, ' ') + "\r")
                          << std::flush;
                }
                return;
            }
        }
    }

    std::ostream& m_err;
    const bool m_escapes;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<send::SendStatus> m_next;
    bool m_done = false;
    std::thread m_thread;
};

// The port list, each name shown as file names are: they come from other programs.
std::string PortLines(const std::vector<std::string>& ports)
{
    std::vector<std::string> shown;
    shown.reserve(ports.size());
    for (const std::string& port : ports) {
        shown.push_back(Printable(port));
    }
    return send::ListPorts(shown);
}

}  // namespace

SendSignals::SendSignals()
{
    g_stop = std::stop_source();
    g_signal.store(0);
    StartHandling();
}

SendSignals::~SendSignals()
{
    StopHandling();
}

std::stop_token SendSignals::Token() const
{
    return g_stop.get_token();
}

int SendSignals::StoppedStatus() const
{
    return 128 + g_signal.load();
}

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
        err << kProgramName << Printable(send::NoPortsMessage(ports.reason)) << "\n";
        return 1;
    }
    out << PortLines(ports.names);
    return 0;
}

std::unique_ptr<send::MidiPort> OpenPortRun(const std::string& wanted, bool wait, const SendSignals& signals,
                                            std::ostream& err, int& status)
{
    send::PortProblem problem;
    bool waited = false;
    std::unique_ptr<send::MidiPort> port = send::OpenOutputPort(
        wanted, problem, wait ? send::PortTurn::Wait : send::PortTurn::Refuse, signals.Token(),
        [&err, &waited](const std::string& name) {
            waited = true;
            err << kProgramName << "another t2tk is sending to the MIDI port \"" << Printable(name)
                << "\"; waiting for its turn\n" << std::flush;
        });
    if (port == nullptr) {
        status = problem.stopped ? signals.StoppedStatus() : kExitFailed;
        if (problem.stopped) {
            err << kProgramName << (waited ? "stopped while waiting for the MIDI port" : "stopped")
                << "; nothing was sent\n";
            return nullptr;
        }
        // Port names come from other programs: shown as file names are.
        err << kProgramName << Printable(send::Describe(problem.error))
            << (problem.error.problem == send::SendProblem::Busy ? " (--wait waits for it)" : "");
        err << (problem.ports.empty() ? "\n"
                                      : "; the MIDI output ports are:\n" + PortLines(problem.ports));
    }
    return port;
}

int SendRun(send::MidiPort& port, const std::vector<std::uint8_t>& messages, const SendSignals& signals,
            std::ostream& err, bool progress, bool accountAlways)
{
    std::optional<ProgressWriter> writer;
    std::function<void(const send::SendStatus&)> show;
    if (progress) {
        writer.emplace(err);
        show = [&writer](const send::SendStatus& status) { writer->Show(status); };
    }
    const send::SendResult result = send::SendMessages(port, messages, signals.Token(), show);
    writer.reset();
    // What reached the module, and the presets sent again when there were any.
    const std::string repeats = send::DescribeRepeats(result);
    const std::string account = send::DescribeStored(result) + (repeats.empty() ? "" : "; " + repeats);
    switch (result.ending) {
    case send::SendEnding::Done:
        if (accountAlways || !repeats.empty()) {
            err << kProgramName << "sent: " << account << "\n";
        }
        return kExitConverted;
    case send::SendEnding::Stopped:
        err << kProgramName << "stopped: " << account << "\n";
        return signals.StoppedStatus();
    case send::SendEnding::PortFailed:
    case send::SendEnding::RanLate:
        err << kProgramName << Printable(send::DescribeEnding(result)) << "; " << account << "\n";
        return kExitFailed;
    }
    return kExitFailed;
}

}  // namespace t2tk::cli
