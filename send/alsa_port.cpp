// RtMidi and ALSA write their complaints to standard error; here they become
// the reason in our own message instead. Neither says when the other end goes
// away or the connection is cut, so a sequencer client of our own looks
// before and after each message.
#include "send/alsa_port.h"

#include <alsa/asoundlib.h>

#include <RtMidi.h>
#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string_view>

namespace t2tk::send {

namespace {

std::string g_alsaComplaint;

extern "C" void KeepAlsaComplaint(const char* /*file*/, int /*line*/, const char* /*function*/, int error,
                                  const char* format, ...)
{
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);  // NOLINT(clang-analyzer-valist.Uninitialized): started above
    va_end(arguments);
    g_alsaComplaint = text;
    if (error != 0) {
        g_alsaComplaint += std::string(": ") + snd_strerror(error);
    }
}

extern "C" void KeepRtMidiComplaint(RtMidiError::Type /*type*/, const std::string& text, void* complaint)
{
    *static_cast<std::string*>(complaint) = text;
}

// RtMidi's ALSA output client, made without a word on standard error.
struct Client {
    std::unique_ptr<RtMidiOut> out;
    std::string complaint;
};

std::unique_ptr<Client> Connect()
{
    static const bool quiet = [] {
        snd_lib_error_set_handler(KeepAlsaComplaint);
        return true;
    }();
    (void)quiet;
    auto client = std::make_unique<Client>();
    std::ostringstream said;
    std::streambuf* const previous = std::cerr.rdbuf(said.rdbuf());  // RtMidi's own complaints
    try {
        client->out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "t2tk");
        client->out->setErrorCallback(KeepRtMidiComplaint, &client->complaint);
    } catch (const RtMidiError& error) {
        client->complaint = error.getMessage();
    }
    std::cerr.rdbuf(previous);
    if (client->complaint.empty()) {
        client->complaint = said.str();
    }
    return client;
}

std::vector<std::string> Names(const Client& client)
{
    std::vector<std::string> names;
    const unsigned count = client.out != nullptr ? client.out->getPortCount() : 0;
    for (unsigned i = 0; i < count; ++i) {
        names.push_back(client.out->getPortName(i));
    }
    return names;
}

// Whether messages sent still reach the port: a sequencer client of our own
// looks at who writes to it. The port's address is the last word of its name ("24:0").
class Connection {
public:
    explicit Connection(std::string port) : m_port(std::move(port))
    {
        const std::string_view address = std::string_view(m_port).substr(m_port.rfind(' ') + 1);
        const std::size_t colon = address.find(':');
        unsigned client = 0;
        unsigned number = 0;
        const auto read = [](std::string_view digits, unsigned& value) {
            const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            return error == std::errc() && end == digits.data() + digits.size() && value < 256;
        };
        if (colon != std::string_view::npos && read(address.substr(0, colon), client) &&
            read(address.substr(colon + 1), number) && snd_seq_open(&m_sequencer, "default", SND_SEQ_OPEN_OUTPUT, 0) == 0) {
            m_target.client = static_cast<unsigned char>(client);
            m_target.port = static_cast<unsigned char>(number);
        }
    }
    ~Connection()
    {
        if (m_sequencer != nullptr) {
            snd_seq_close(m_sequencer);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Takes note of the port's writers before ours is made, and finds ours after.
    void Before() { m_before = Writers(); }
    void After()
    {
        const std::vector<int> after = Writers();
        const auto added = std::find_if(after.begin(), after.end(), [this](int writer) {
            return std::find(m_before.begin(), m_before.end(), writer) == m_before.end();
        });
        m_ours = added != after.end() ? *added : -1;
    }
    // True while ours is there; else false with the reason.
    bool Holds(SendError& failure)
    {
        if (m_sequencer == nullptr) {
            return true;
        }
        snd_seq_port_info_t* info = nullptr;
        snd_seq_port_info_alloca(&info);
        if (snd_seq_get_any_port_info(m_sequencer, m_target.client, m_target.port, info) < 0) {
            failure = {SendProblem::Gone, m_port, {}};
            return false;
        }
        if (m_ours >= 0) {
            const std::vector<int> writers = Writers();
            if (std::find(writers.begin(), writers.end(), m_ours) == writers.end()) {
                failure = {SendProblem::Cut, m_port, {}};
                return false;
            }
        }
        return true;
    }

private:
    // The addresses (client * 256 + port) of the ports that write to it.
    std::vector<int> Writers()
    {
        std::vector<int> writers;
        if (m_sequencer == nullptr) {
            return writers;
        }
        snd_seq_query_subscribe_t* query = nullptr;
        snd_seq_query_subscribe_alloca(&query);
        snd_seq_query_subscribe_set_root(query, &m_target);
        snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_WRITE);
        snd_seq_query_subscribe_set_index(query, 0);
        while (snd_seq_query_port_subscribers(m_sequencer, query) >= 0) {
            const snd_seq_addr_t* writer = snd_seq_query_subscribe_get_addr(query);
            writers.push_back(writer->client * 256 + writer->port);
            snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
        }
        return writers;
    }

    std::string m_port;
    snd_seq_t* m_sequencer = nullptr;
    snd_seq_addr_t m_target{};
    std::vector<int> m_before;
    int m_ours = -1;
};

class AlsaPort : public PacedPort {
public:
    AlsaPort(std::unique_ptr<Client> client, std::unique_ptr<Connection> connection, std::string name)
        : PacedPort(SteadyClock()), m_client(std::move(client)), m_connection(std::move(connection)),
          m_name(std::move(name))
    {
    }

private:
    // RtMidi sends with the output drained: once it returns, the message has left.
    bool Deliver(std::span<const std::uint8_t> message, SendError& failure) override
    {
        if (!m_connection->Holds(failure)) {
            return false;
        }
        m_client->complaint.clear();
        m_client->out->sendMessage(message.data(), message.size());
        if (!m_client->complaint.empty()) {
            failure = {SendProblem::Failed, m_name, m_client->complaint};
            return false;
        }
        return m_connection->Holds(failure);
    }

    std::unique_ptr<Client> m_client;
    std::unique_ptr<Connection> m_connection;
    std::string m_name;
};

}  // namespace

std::vector<std::string> ListAlsaPorts(std::string& reason)
{
    const std::unique_ptr<Client> client = Connect();
    std::vector<std::string> names = Names(*client);
    if (names.empty()) {
        reason = "ALSA: " + (client->out == nullptr && !g_alsaComplaint.empty() ? g_alsaComplaint
                                                                               : std::string("no sequencer ports"));
    }
    return names;
}

std::unique_ptr<MidiPort> OpenAlsaPort(const std::string& name, SendError& failure)
{
    std::unique_ptr<Client> client = Connect();
    const std::vector<std::string> names = Names(*client);
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) {
        failure = {SendProblem::Gone, name, {}};
        return nullptr;
    }
    auto connection = std::make_unique<Connection>(name);
    connection->Before();
    client->complaint.clear();
    client->out->openPort(static_cast<unsigned>(found - names.begin()), "t2tk");
    if (!client->complaint.empty() || !client->out->isPortOpen()) {
        failure = {SendProblem::CannotOpen, name, client->complaint};
        return nullptr;
    }
    connection->After();
    return std::make_unique<AlsaPort>(std::move(client), std::move(connection), name);
}

}  // namespace t2tk::send
