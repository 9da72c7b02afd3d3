#include "send/jack_port.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <semaphore>
#include <thread>

namespace t2tk::send {

namespace {

using namespace std::chrono_literals;

// How long a server may leave a message that is due untaken before the send
// gives up on it: longer than any stall a working machine has (a server
// stopped for a few seconds resumes and goes on), shorter than a user waits.
constexpr auto kAnswerLimit = 5s;
// How long closing the client may take; a server that no longer answers
// would hold it for good, and the client is then left to the process's end.
constexpr auto kCloseLimit = 2s;

std::string Gone(const std::string& port)
{
    return "the MIDI port \"" + port + "\" is gone";
}

// JACK's clock, in microseconds.
using JackTime = jack_time_t;

// What the process callback and the notifications share with the sending
// thread. It lives until the client is closed, which may be after the port.
struct Link {
    enum State : int {
        Idle,     // nothing handed over
        Pending,  // a message waits for its frame
        Writing,  // the callback has it
        Taken,    // the callback wrote it (or found it too long)
    };
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    jack_nframes_t rate = 48000;

    std::atomic<int> state{Idle};
    const std::uint8_t* message = nullptr;  // the message handed over, while Pending
    std::size_t size = 0;
    jack_nframes_t spacing = 0;             // in frames
    jack_nframes_t previous = 0;            // the frame the last message went out at (or the port was opened)
    JackTime left = 0;                      // and when that was, on JACK's clock
    bool tooLong = false;                   // the last message taken did not fit the period's buffer

    std::counting_semaphore<> wake{0};      // the sending thread sleeps on it
    std::atomic<bool> graphChanged{false};
    std::atomic<bool> serverGone{false};
    std::atomic<bool> cycleWakes{false};  // each period wakes the sending thread (while a connection settles)
    bool silent = false;  // the server stopped answering: closing is not waited for
};

int Process(jack_nframes_t frames, void* argument)
{
    auto& link = *static_cast<Link*>(argument);
    void* buffer = jack_port_get_buffer(link.port, frames);
    jack_midi_clear_buffer(buffer);
    if (link.cycleWakes.load(std::memory_order_relaxed)) {
        link.wake.release();
    }
    if (link.state.load(std::memory_order_acquire) != Link::Pending) {
        return 0;
    }
    // The frame where the message falls due: the start of this period, or
    // later in it. The spacing is counted in frames, the server's own time:
    // two clients see the same frames, and a server that stalls stops them.
    const jack_nframes_t start = jack_last_frame_time(link.client);
    const auto waited = static_cast<jack_nframes_t>(start - link.previous);  // wraps as the counter does
    jack_nframes_t offset = 0;
    if (waited < link.spacing) {
        offset = link.spacing - waited;
        if (offset >= frames) {
            return 0;
        }
    }
    int pending = Link::Pending;
    if (!link.state.compare_exchange_strong(pending, Link::Writing, std::memory_order_acq_rel)) {
        return 0;  // taken back meanwhile
    }
    link.tooLong = jack_midi_max_event_size(buffer) < link.size ||
                   jack_midi_event_write(buffer, static_cast<jack_nframes_t>(offset), link.message, link.size) != 0;
    if (!link.tooLong) {
        link.previous = start + offset;
        link.left = jack_get_time() + static_cast<JackTime>(offset) * 1000000 / link.rate;
    }
    link.state.store(Link::Taken, std::memory_order_release);
    link.wake.release();
    return 0;
}

// Ports and connections that come and go: the sending thread looks again.
void NoteGraph(Link& link)
{
    link.graphChanged.store(true);
    link.wake.release();
}
extern "C" void NoteConnection(jack_port_id_t /*a*/, jack_port_id_t /*b*/, int /*connected*/, void* link)
{
    NoteGraph(*static_cast<Link*>(link));
}
extern "C" void NotePort(jack_port_id_t /*port*/, int /*registered*/, void* link)
{
    NoteGraph(*static_cast<Link*>(link));
}
extern "C" void NoteServerGone(void* argument)
{
    auto& link = *static_cast<Link*>(argument);
    link.serverGone.store(true);
    link.wake.release();
}
extern "C" int ProcessCallback(jack_nframes_t frames, void* link)
{
    return Process(frames, link);
}

// Closes the client within kCloseLimit, or leaves it to the process's end;
// the link lives until it is closed.
void Close(const std::shared_ptr<Link>& link)
{
    struct Closing {
        std::mutex mutex;
        std::condition_variable done;
        bool closed = false;
    };
    auto closing = std::make_shared<Closing>();
    std::thread([link, closing] {
        if (!link->serverGone.load()) {
            jack_deactivate(link->client);
        }
        jack_client_close(link->client);
        const std::lock_guard lock(closing->mutex);
        closing->closed = true;
        closing->done.notify_all();
    }).detach();
    std::unique_lock lock(closing->mutex);
    closing->done.wait_for(lock, link->silent ? 0s : kCloseLimit, [&closing] { return closing->closed; });
}

extern "C" void Quiet(const char* /*message*/) {}

// A client named after what it does and this process: JACK mixes up two
// clients of one name that open at the same time.
jack_client_t* OpenClient(const std::string& what)
{
    static const bool quiet = [] {
        // libjack's complaints become the reasons in our own messages.
        jack_set_error_function(Quiet);
        jack_set_info_function(Quiet);
        return true;
    }();
    (void)quiet;
    jack_status_t status{};
    return jack_client_open((what + "-" + std::to_string(::getpid())).c_str(), JackNoStartServer, &status);
}

class JackPort : public MidiPort {
public:
    JackPort(std::shared_ptr<Link> link, std::string target) : m_link(std::move(link)), m_target(std::move(target)) {}
    ~JackPort() override { Close(m_link); }
    JackPort(const JackPort&) = delete;
    JackPort& operator=(const JackPort&) = delete;

    Departure Send(std::span<const std::uint8_t> message, std::chrono::microseconds spacing,
                   const std::stop_token& stop, SendClock::TimePoint& left, std::string& failure) override
    {
        Link& link = *m_link;
        if (!Holds(failure)) {
            return Departure::Failed;
        }
        link.message = message.data();
        link.size = message.size();
        link.spacing = static_cast<jack_nframes_t>((spacing.count() * link.rate + 999999) / 1000000);
        // Until the message is due, by the server's clock, and then the time
        // limit for a server that does not take it.
        const auto sinceLast = static_cast<jack_nframes_t>(jack_frame_time(link.client) - link.previous);
        const auto toGo = sinceLast < link.spacing ? link.spacing - sinceLast : 0;
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::microseconds(static_cast<long long>(toGo) * 1000000 / link.rate) +
                              kAnswerLimit;
        link.state.store(Link::Pending, std::memory_order_release);
        const std::stop_callback wakeOnStop(stop, [&link] { link.wake.release(); });
        for (;;) {
            const bool woken = link.wake.try_acquire_until(deadline);
            if (link.state.load(std::memory_order_acquire) == Link::Taken) {
                link.state.store(Link::Idle);
                if (link.tooLong) {
                    failure = "the MIDI port \"" + m_target + "\" failed: a message of " +
                              std::to_string(message.size()) + " bytes does not fit into one JACK period";
                    return Departure::Failed;
                }
                // On the steady clock: as long ago as it is on JACK's.
                const JackTime now = jack_get_time();
                left = std::chrono::steady_clock::now() - std::chrono::microseconds(now - std::min(link.left, now));
                // A message that went out as the connection was cut may have gone nowhere.
                return Holds(failure) ? Departure::Left : Departure::Failed;
            }
            // A port that went is given up at once; a connection that is
            // cut, once the message has left (a client that ends cuts its
            // connections before its ports go, and the reason should be the
            // port's going).
            const bool graphChanged = link.graphChanged.exchange(false);
            std::string why;
            const bool givenUp = stop.stop_requested() || !woken || link.serverGone.load() ||
                                 (graphChanged && jack_port_by_name(link.client, m_target.c_str()) == nullptr &&
                                  !Holds(why));
            if (!givenUp) {
                continue;
            }
            int pending = Link::Pending;
            if (!link.state.compare_exchange_strong(pending, Link::Idle)) {
                continue;  // the callback took it meanwhile
            }
            if (stop.stop_requested()) {
                return Departure::Stopped;
            }
            if (!woken) {
                link.silent = true;
                failure = "the JACK server of the MIDI port \"" + m_target + "\" has stopped answering";
            } else if (!why.empty()) {
                failure = why;
            } else {
                Holds(failure);  // the server has ended
            }
            return Departure::Failed;
        }
    }

private:
    // True while the target is there, connected to us; else false with the reason.
    bool Holds(std::string& failure) const
    {
        if (m_link->serverGone.load()) {
            failure = "the JACK server of the MIDI port \"" + m_target + "\" has ended";
            return false;
        }
        if (jack_port_by_name(m_link->client, m_target.c_str()) == nullptr) {
            failure = Gone(m_target);
            return false;
        }
        if (jack_port_connected_to(m_link->port, m_target.c_str()) == 0) {
            failure = "the connection to the MIDI port \"" + m_target + "\" was cut";
            return false;
        }
        return true;
    }

    std::shared_ptr<Link> m_link;
    std::string m_target;
};

}  // namespace

std::vector<std::string> ListJackPorts(std::string& reason)
{
    std::vector<std::string> names;
    jack_client_t* client = OpenClient("t2tk-list");
    if (client == nullptr) {
        reason = "JACK: no server is running";
        return names;
    }
    const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    for (const char** port = ports; port != nullptr && *port != nullptr; ++port) {
        names.emplace_back(*port);
    }
    if (ports != nullptr) {
        jack_free(static_cast<void*>(ports));
    }
    jack_client_close(client);
    if (names.empty()) {
        reason = "JACK: no MIDI input ports";
    }
    return names;
}

std::unique_ptr<MidiPort> OpenJackPort(const std::string& target, std::string& failure)
{
    auto link = std::make_shared<Link>();
    link->client = OpenClient("t2tk");
    if (link->client == nullptr) {
        failure = Gone(target) + " (no JACK server is running)";
        return nullptr;
    }
    link->rate = jack_get_sample_rate(link->client);
    link->port = jack_port_register(link->client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    Link* raw = link.get();
    jack_on_shutdown(link->client, NoteServerGone, raw);
    if (link->port == nullptr || jack_set_process_callback(link->client, ProcessCallback, raw) != 0 ||
        jack_set_port_connect_callback(link->client, NoteConnection, raw) != 0 ||
        jack_set_port_registration_callback(link->client, NotePort, raw) != 0 || jack_activate(link->client) != 0) {
        failure = "cannot open the MIDI port \"" + target + "\": JACK would not take a client of t2tk";
        Close(link);
        return nullptr;
    }
    // Connected once our client sees it so, which the server shows at a
    // period's start: the first check must not find it cut.
    const auto limit = std::chrono::steady_clock::now() + kAnswerLimit;
    link->cycleWakes.store(true);
    bool connected = jack_connect(link->client, jack_port_name(link->port), target.c_str()) == 0;
    while (connected && jack_port_connected_to(link->port, target.c_str()) == 0) {
        connected = link->wake.try_acquire_until(limit);
    }
    link->cycleWakes.store(false);
    if (!connected) {
        failure = jack_port_by_name(link->client, target.c_str()) == nullptr
                      ? Gone(target)
                      : "cannot open the MIDI port \"" + target + "\": JACK would not connect to it";
        Close(link);
        return nullptr;
    }
    // The first message too waits its spacing, which gives the connection
    // just made the time to carry it.
    link->previous = jack_frame_time(link->client);
    link->left = jack_get_time();
    return std::make_unique<JackPort>(std::move(link), target);
}

}  // namespace t2tk::send
