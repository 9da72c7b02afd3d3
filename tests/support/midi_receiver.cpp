#include "tests/support/midi_receiver.h"

#include "tests/support/process.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>
#include <sched.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace t2tk::test {

namespace {

// Whether a JACK server of that name takes connections on the socket JACK
// makes for it in /dev/shm. Asked without a JACK client: under load a
// client's own opening or closing can hang.
bool Listening(const std::string& server)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = "/dev/shm/jack_" + server + "_" + std::to_string(::getuid()) + "_0";
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::copy(path.begin(), path.end(), address.sun_path);
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected =
        probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return connected;
}

std::string FirstLine(int from)
{
    std::string line;
    for (char c = 0; ::read(from, &c, 1) == 1 && c != '\n';) {
        line += c;
    }
    return line;
}

}  // namespace

MidiReceiver::MidiReceiver(const std::string& name, const std::string& server, const std::string& late)
{
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<std::string> arguments = {T2TK_RECEIVER_EXE, name};
    if (!server.empty() || !late.empty()) {
        arguments.push_back(server.empty() ? "-" : server);
    }
    if (!late.empty()) {
        arguments.push_back(late);
    }
    m_pid = Spawn(arguments, {.input = input[0], .output = output[1]});
    ::close(input[0]);
    ::close(output[1]);
    m_input = input[1];
    m_output = output[0];
    // Its first line says whether its input is there.
    const std::string line = FirstLine(m_output);
    if (line.rfind("ready ", 0) == 0) {
        m_period = std::chrono::microseconds(std::strtoll(line.c_str() + 6, nullptr, 10));
    }
    m_reader = std::thread([this] { Read(); });
}

void MidiReceiver::Signal(int signal) const
{
    if (m_pid > 0) {
        ::kill(m_pid, signal);
    }
}

MidiReceiver::~MidiReceiver()
{
    ::close(m_input);
    if (m_pid > 0) {
        Finish(m_pid);
    }
    m_reader.join();
    ::close(m_output);
}

void MidiReceiver::Read()
{
    FILE* lines = ::fdopen(::fcntl(m_output, F_DUPFD_CLOEXEC, 0), "r");
    char buffer[4096];
    while (lines != nullptr && std::fgets(buffer, sizeof buffer, lines) != nullptr) {
        std::istringstream line(buffer);
        long long arrival = 0;
        line >> arrival;
        Received message{{}, std::chrono::steady_clock::time_point(std::chrono::microseconds(arrival))};
        for (unsigned byte = 0; line >> std::hex >> byte;) {
            message.bytes.push_back(static_cast<std::uint8_t>(byte));
        }
        const std::lock_guard lock(m_mutex);
        m_messages.push_back(std::move(message));
        m_came.notify_all();
    }
    if (lines != nullptr) {
        std::fclose(lines);
    }
    const std::lock_guard lock(m_mutex);
    m_ended = true;
    m_came.notify_all();
}

std::vector<Received> MidiReceiver::Messages() const
{
    const std::lock_guard lock(m_mutex);
    return m_messages;
}

bool MidiReceiver::WaitFor(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_came.wait_for(lock, timeout, [this, count] { return m_messages.size() >= count || m_ended; }) &&
           m_messages.size() >= count;
}

JackServer::JackServer(const std::string& what, int period, bool synchronous)
{
    const char* shared = std::getenv("JACK_DEFAULT_SERVER");
    m_name = std::string(shared != nullptr ? shared : "t2tk") + "-" + what;
    // What jackd says goes with the test's own output, shown when it fails.
    std::vector<std::string> arguments = {"jackd", "-R", "-n", m_name, "-d", "dummy", "-r", "48000", "-p",
                                          std::to_string(period)};
    if (synchronous) {
        arguments.insert(arguments.begin() + 1, "-S");
    }
    m_pid = Spawn(arguments, {.error = STDERR_FILENO});
}

bool JackServer::running()
{
    // Until it listens, or has ended; the limit only keeps a broken machine
    // from holding the test.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!m_running && m_pid > 0 && std::chrono::steady_clock::now() < limit) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        m_running = Listening(m_name);
        if (!m_running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return m_running;
}

JackServer::~JackServer()
{
    // Ended as it would be, so that it leaves nothing behind in /dev/shm; a
    // stopped one is woken first.
    if (m_pid > 0) {
        ::kill(m_pid, SIGCONT);
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    // What a server that was killed, or clients that could not leave it,
    // left in shared memory: all named after the server.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.find("_" + m_name + "_") != std::string::npos) {
            std::filesystem::remove(entry.path(), ignored);
        }
    }
}

void JackServer::Signal(int signal) const
{
    ::kill(m_pid, signal);
}

std::string WhyNoJack(JackServer* server)
{
    // A thread of ours tries the real-time scheduling JACK's threads take.
    bool realTime = false;
    std::thread([&realTime] {
        const sched_param priority{10};
        realTime = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority) == 0;
    }).join();
    if (!realTime) {
        return "JACK cannot run in real time here (no real-time priority for this user): a server without it "
               "takes its own late wake-ups for lost periods, and every send would go again";
    }
    bool answers = server != nullptr && server->running();
    if (server == nullptr) {
        const char* shared = std::getenv("JACK_DEFAULT_SERVER");
        answers = Listening(shared != nullptr ? shared : "default");
    }
    if (!answers) {
        return "the tests' JACK server does not answer: JACK counts at most eight servers a machine in /dev/shm, and "
               "others may have taken every place (scripts/test.sh gives the suite a /dev/shm of its own where the "
               "machine allows it)";
    }
    return {};
}

std::vector<double> GapErrors(const std::vector<Received>& messages)
{
    std::vector<double> errors;
    for (std::size_t i = 1; i < messages.size(); ++i) {
        const double spacing = messages[i].bytes.size() > 4 && messages[i].bytes[4] == 0x11 ? 1000.0 : 250.0;
        errors.push_back(std::chrono::duration<double, std::milli>(messages[i].arrival - messages[i - 1].arrival).count() -
                         spacing);
    }
    return errors;
}

}  // namespace t2tk::test
