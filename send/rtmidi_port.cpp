// The MIDI ports on Linux: RtMidi over the ALSA sequencer and JACK, kept quiet.
// Both libraries, and RtMidi itself, write their complaints to standard error;
// here they become the reason in our own message instead.
#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <RtMidi.h>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <sstream>

#include "send/midi_port.h"
#include "send/port_choice.h"

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

// The ports of every API compiled in, in one numbered list.
struct AllPorts {
    std::deque<Client> clients;  // stays put: RtMidi keeps the address of each one's complaint
    std::vector<std::pair<std::size_t, unsigned>> where;  // client and its port number, per entry
    PortList list;
};

AllPorts FindPorts()
{
    AllPorts all;
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (const RtMidi::Api api : apis) {
        Client& client = all.clients.emplace_back();
        Connect(api, client);
        const unsigned count = client.out != nullptr ? client.out->getPortCount() : 0;
        for (unsigned i = 0; i < count; ++i) {
            all.where.emplace_back(all.clients.size() - 1, i);
            all.list.names.push_back(client.out->getPortName(i));
        }
        if (count == 0) {
            all.list.reason += (all.list.reason.empty() ? "" : "; ") + Reason(client);
        }
    }
    if (!all.list.names.empty()) {
        all.list.reason.clear();
    }
    return all;
}

extern "C" void NoteServerGone(void* gone)
{
    static_cast<std::atomic<bool>*>(gone)->store(true);
}

class RtMidiPort : public MidiPort {
public:
    RtMidiPort(RtMidi::Api api, std::unique_ptr<RtMidiOut> out, std::string name)
        : m_out(std::move(out)), m_name(std::move(name))
    {
        m_out->setErrorCallback(KeepRtMidiComplaint, &m_complaint);
        // A JACK server that ends leaves its port list behind; a client of our
        // own hears of the end.
        if (api == RtMidi::UNIX_JACK) {
            jack_status_t status{};
            m_watch = jack_client_open("t2tk-watch", JackNoStartServer, &status);
            if (m_watch != nullptr) {
                jack_on_shutdown(m_watch, NoteServerGone, &m_serverGone);
            }
        }
    }
    ~RtMidiPort() override
    {
        if (m_watch != nullptr) {
            jack_client_close(m_watch);
        }
    }
    RtMidiPort(const RtMidiPort&) = delete;
    RtMidiPort& operator=(const RtMidiPort&) = delete;

    bool Send(const std::uint8_t* message, std::size_t size, std::string& failure) override
    {
        m_complaint.clear();
        m_out->sendMessage(message, size);
        if (!m_complaint.empty()) {
            failure = "the MIDI port \"" + m_name + "\" failed: " + m_complaint;
            return false;
        }
        if (m_serverGone.load()) {
            failure = "the JACK server of the MIDI port \"" + m_name + "\" has ended";
            return false;
        }
        // Neither ALSA nor JACK says when the other end goes away, so look.
        const unsigned count = m_out->getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            if (m_out->getPortName(i) == m_name) {
                return true;
            }
        }
        failure = "the MIDI port \"" + m_name + "\" is gone";
        return false;
    }

private:
    std::unique_ptr<RtMidiOut> m_out;
    std::string m_name;
    std::string m_complaint;
    jack_client_t* m_watch = nullptr;
    std::atomic<bool> m_serverGone{false};
};

}  // namespace

PortList ListOutputPorts()
{
    return FindPorts().list;
}

std::unique_ptr<MidiPort> OpenOutputPort(const std::string& wanted, std::string& failure)
{
    AllPorts all = FindPorts();
    const PortChoice choice = ChoosePort(all.list.names, wanted, all.list.reason);
    if (!choice.index) {
        failure = choice.failure;
        return nullptr;
    }
    const auto [clientIndex, number] = all.where[*choice.index];
    Client& client = all.clients[clientIndex];
    const std::string& name = all.list.names[*choice.index];
    client.complaint.clear();
    client.out->openPort(number, "t2tk");
    if (!client.complaint.empty() || !client.out->isPortOpen()) {
        failure = "cannot open the MIDI port \"" + name + "\": " + client.complaint;
        return nullptr;
    }
    return std::make_unique<RtMidiPort>(client.api, std::move(client.out), name);
}

}  // namespace t2tk::send
