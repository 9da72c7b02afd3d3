// The MIDI module on Linux: RtMidi over the ALSA sequencer and JACK, kept
// quiet. Both libraries, and RtMidi itself, write their complaints to standard
// error; here they become the reason in our own message instead. A port also
// watches its connection: neither library says when the other end goes away
// or the connection is cut, so each send looks.
#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <RtMidi.h>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <string_view>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <optional>
#include <sstream>

#include "send/midi_system.h"

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

extern "C" void IgnoreJack(const char* /*message*/) {}

extern "C" void KeepRtMidiComplaint(RtMidiError::Type /*type*/, const std::string& text, void* complaint)
{
    *static_cast<std::string*>(complaint) = text;
}

// One API's output client, made without a word on standard error.
struct Client {
    RtMidi::Api api = RtMidi::UNSPECIFIED;
    std::unique_ptr<RtMidiOut> out;
    std::string complaint;
};

// RtMidi keeps (and loses) a buffer when it finds no JACK server, and says so
// only as a warning: look first.
bool JackServerRuns()
{
    jack_status_t status{};
    jack_client_t* probe = jack_client_open("t2tk-probe", JackNoStartServer, &status);
    if (probe == nullptr) {
        return false;
    }
    jack_client_close(probe);
    return true;
}

void Connect(RtMidi::Api api, Client& client)
{
    static const bool quiet = [] {
        snd_lib_error_set_handler(KeepAlsaComplaint);
        jack_set_error_function(IgnoreJack);
        jack_set_info_function(IgnoreJack);
        return true;
    }();
    (void)quiet;
    client.api = api;
    if (api == RtMidi::UNIX_JACK && !JackServerRuns()) {
        client.complaint = "JACK server not running";
        return;
    }
    std::ostringstream said;
    std::streambuf* const previous = std::cerr.rdbuf(said.rdbuf());  // RtMidi's own complaints
    try {
        client.out = std::make_unique<RtMidiOut>(api, "t2tk");
        client.out->setErrorCallback(KeepRtMidiComplaint, &client.complaint);
    } catch (const RtMidiError& error) {
        client.complaint = error.getMessage();
    }
    std::cerr.rdbuf(previous);
    if (client.complaint.empty()) {
        client.complaint = said.str();
    }
}

// Why an API offers no port, in words for users.
std::string Reason(const Client& client)
{
    if (client.api == RtMidi::LINUX_ALSA) {
        return "ALSA: " + (client.out == nullptr && !g_alsaComplaint.empty() ? g_alsaComplaint
                                                                            : std::string("no sequencer ports"));
    }
    if (client.complaint.find("not running") != std::string::npos) {
        return "JACK: no server is running";
    }
    return "JACK: no MIDI input ports";
}

// Whether messages sent still reach the port.
class Connection {
public:
    virtual ~Connection() = default;
    // Takes note of the port's connections before ours is made, and finds ours after.
    virtual void Before() = 0;
    virtual void After() = 0;
    // True while ours is there; else false with the reason.
    virtual bool Holds(std::string& failure) = 0;
};

// What after holds that before did not: the connection made in between.
template <typename T>
std::optional<T> Added(const std::vector<T>& before, const std::vector<T>& after)
{
    for (const T& one : after) {
        if (std::find(before.begin(), before.end(), one) == before.end()) {
            return one;
        }
    }
    return std::nullopt;
}

std::string Missing(const std::string& port)
{
    return "the MIDI port \"" + port + "\" is gone";
}

std::string Cut(const std::string& port)
{
    return "the connection to the MIDI port \"" + port + "\" was cut";
}

extern "C" void NoteServerGone(void* gone)
{
    static_cast<std::atomic<bool>*>(gone)->store(true);
}

// JACK: a client of our own looks at the port's connections, and hears when
// the server ends (which leaves RtMidi's port list behind).
class JackConnection : public Connection {
public:
    explicit JackConnection(std::string port) : m_port(std::move(port))
    {
        jack_status_t status{};
        m_client = jack_client_open("t2tk-watch", JackNoStartServer, &status);
        if (m_client != nullptr) {
            jack_on_shutdown(m_client, NoteServerGone, &m_serverGone);
        }
    }
    ~JackConnection() override
    {
        if (m_client != nullptr) {
            jack_client_close(m_client);
        }
    }
    JackConnection(const JackConnection&) = delete;
    JackConnection& operator=(const JackConnection&) = delete;

    void Before() override { m_before = Connections(); }
    void After() override { m_ours = Added(m_before, Connections()).value_or(""); }
    bool Holds(std::string& failure) override
    {
        if (m_serverGone.load()) {
            failure = "the JACK server of the MIDI port \"" + m_port + "\" has ended";
            return false;
        }
        if (m_client == nullptr) {
            return true;  // nothing to look with
        }
        jack_port_t* port = jack_port_by_name(m_client, m_port.c_str());
        if (port == nullptr) {
            failure = Missing(m_port);
            return false;
        }
        if (!m_ours.empty() && jack_port_connected_to(port, m_ours.c_str()) == 0) {
            failure = Cut(m_port);
            return false;
        }
        return true;
    }

private:
    std::vector<std::string> Connections()
    {
        std::vector<std::string> names;
        jack_port_t* port = m_client != nullptr ? jack_port_by_name(m_client, m_port.c_str()) : nullptr;
        const char** connected = port != nullptr ? jack_port_get_all_connections(m_client, port) : nullptr;
        for (const char** name = connected; name != nullptr && *name != nullptr; ++name) {
            names.emplace_back(*name);
        }
        if (connected != nullptr) {
            jack_free(static_cast<void*>(connected));
        }
        return names;
    }

    std::string m_port;
    jack_client_t* m_client = nullptr;
    std::atomic<bool> m_serverGone{false};
    std::vector<std::string> m_before;
    std::string m_ours;  // our port's full name, once known
};

// ALSA: a sequencer client of our own looks at who writes to the port; the
// port's address is the last word of its name ("24:0").
class AlsaConnection : public Connection {
public:
    explicit AlsaConnection(std::string port) : m_port(std::move(port))
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
    ~AlsaConnection() override
    {
        if (m_sequencer != nullptr) {
            snd_seq_close(m_sequencer);
        }
    }
    AlsaConnection(const AlsaConnection&) = delete;
    AlsaConnection& operator=(const AlsaConnection&) = delete;

    void Before() override { m_before = Writers(); }
    void After() override { m_ours = Added(m_before, Writers()).value_or(-1); }
    bool Holds(std::string& failure) override
    {
        if (m_sequencer == nullptr) {
            return true;
        }
        snd_seq_port_info_t* info = nullptr;
        snd_seq_port_info_alloca(&info);
        if (snd_seq_get_any_port_info(m_sequencer, m_target.client, m_target.port, info) < 0) {
            failure = Missing(m_port);
            return false;
        }
        if (m_ours >= 0) {
            const std::vector<int> writers = Writers();
            if (std::find(writers.begin(), writers.end(), m_ours) == writers.end()) {
                failure = Cut(m_port);
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

class RtMidiPort : public MidiPort {
public:
    RtMidiPort(std::unique_ptr<RtMidiOut> out, std::unique_ptr<Connection> connection, std::string name)
        : m_out(std::move(out)), m_connection(std::move(connection)), m_name(std::move(name))
    {
        m_out->setErrorCallback(KeepRtMidiComplaint, &m_complaint);
    }

    bool Send(const std::uint8_t* message, std::size_t size, std::string& failure) override
    {
        m_complaint.clear();
        m_out->sendMessage(message, size);
        if (!m_complaint.empty()) {
            failure = "the MIDI port \"" + m_name + "\" failed: " + m_complaint;
            return false;
        }
        return m_connection->Holds(failure);
    }

private:
    std::unique_ptr<RtMidiOut> m_out;
    std::unique_ptr<Connection> m_connection;
    std::string m_name;
    std::string m_complaint;
};

class RtMidiSystem : public MidiSystem {
public:
    // The ports of every API compiled in, in one numbered list.
    SystemPorts Ports() override
    {
        m_clients.clear();
        m_where.clear();
        SystemPorts ports;
        std::vector<RtMidi::Api> apis;
        RtMidi::getCompiledApi(apis);
        const char* server = std::getenv("JACK_DEFAULT_SERVER");
        for (const RtMidi::Api api : apis) {
            Client& client = m_clients.emplace_back();
            Connect(api, client);
            const unsigned count = client.out != nullptr ? client.out->getPortCount() : 0;
            for (unsigned i = 0; i < count; ++i) {
                m_where.emplace_back(m_clients.size() - 1, i);
                ports.list.names.push_back(client.out->getPortName(i));
                // A JACK port's name is the same on every user's server.
                ports.keys.push_back(api == RtMidi::UNIX_JACK
                                         ? "jack:" + std::string(server != nullptr ? server : "default") + ":" +
                                               ports.list.names.back()
                                         : "alsa:" + ports.list.names.back());
            }
            if (count == 0) {
                ports.list.reason += (ports.list.reason.empty() ? "" : "; ") + Reason(client);
            }
        }
        if (!ports.list.names.empty()) {
            ports.list.reason.clear();
        }
        m_names = ports.list.names;
        return ports;
    }

    std::unique_ptr<MidiPort> Open(std::size_t index, std::string& failure) override
    {
        const auto [clientIndex, number] = m_where.at(index);
        Client& client = m_clients[clientIndex];
        const std::string& name = m_names[index];
        std::unique_ptr<Connection> connection;
        if (client.api == RtMidi::UNIX_JACK) {
            connection = std::make_unique<JackConnection>(name);
        } else {
            connection = std::make_unique<AlsaConnection>(name);
        }
        connection->Before();
        client.complaint.clear();
        client.out->openPort(number, "t2tk");
        if (!client.complaint.empty() || !client.out->isPortOpen()) {
            failure = "cannot open the MIDI port \"" + name + "\": " + client.complaint;
            return nullptr;
        }
        connection->After();
        return std::make_unique<RtMidiPort>(std::move(client.out), std::move(connection), name);
    }

private:
    std::deque<Client> m_clients;  // stays put: RtMidi keeps the address of each one's complaint
    std::vector<std::pair<std::size_t, unsigned>> m_where;  // client and its port number, per entry
    std::vector<std::string> m_names;
};

}  // namespace

}  // namespace t2tk::send

extern "C" t2tk::send::MidiSystem* t2tk_new_midi_system()
{
    return new t2tk::send::RtMidiSystem;
}
