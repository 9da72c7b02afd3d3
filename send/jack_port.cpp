#include "send/jack_port.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/statistics.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>
#include <semaphore>
#include <string>
#include <utility>
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
// A client that leaves loses its connections first and its ports a moment
// later: a connection found cut is called so only when the port is still
// there after this long.
constexpr auto kLeaveLimit = 1s;
// How often the server is asked whether its notices come through.
constexpr auto kAskEvery = 20ms;

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
    jack_port_t* target = nullptr;
    jack_nframes_t rate = 48000;
    // Around a late cycle, how long before and after it a message may have
    // been lost: a client that did not finish a period is noticed at the next
    // one, and the notice comes a moment later.
    JackTime doubtBefore = 0;
    JackTime doubtAfter = 0;

    std::atomic<int> state{Idle};
    const std::uint8_t* message = nullptr;  // the message handed over, while Pending
    std::size_t size = 0;
    jack_nframes_t spacing = 0;             // in frames
    jack_nframes_t previous = 0;            // the frame the last message went out at (or the port was opened)
    JackTime left = 0;                      // and when that was, on JACK's clock
    bool tooLong = false;                   // the last message taken did not fit the period's buffer

    // Kept by the process callback alone: the period before, the last
    // message it wrote, and the last time a period ran late.
    bool ran = false;
    jack_nframes_t lastStart = 0;
    jack_nframes_t lastFrames = 0;
    JackTime writtenAt = 0;
    JackTime lateAt = 0;
    bool wasLate = false;
    // The messages written so far, and how many of the first of them may
    // not have reached the port (the count up to the last one in doubt).
    std::atomic<std::uint64_t> written{0};
    std::atomic<std::uint64_t> doubted{0};
    std::atomic<JackTime> troubleAt{0};  // when a period last ran late, as either of the above saw it
    // When the server said a client did not finish its period (an xrun, a
    // moment) and when its answers were held up (from asked to answered):
    // kept for the sending thread.
    std::mutex troublesMutex;
    std::vector<std::pair<JackTime, JackTime>> troubles;
    float driverLate = 0;  // how late the server's driver was last, as it said (the notification thread's)
    // A client that stops (a receiver held by a debugger or SIGSTOP) holds
    // up the server's notices to every client, its xruns among them, and
    // its answers to requests with them, while the periods run on. So the
    // server is asked a question all the time: while one waits for its
    // answer longer than doubtAfter, and periods ran meanwhile, no late
    // period would be told, and nothing sent then is sure to have reached
    // the port. (A server that stops runs no periods, and loses nothing.)
    std::atomic<std::uint64_t> periods{0};  // how many the process callback has run
    std::uint64_t periodsInDoubt = 2;       // as many as run in doubtAfter
    std::atomic<std::uint64_t> periodsAtAsk{0};
    std::atomic<JackTime> askedAt{0};  // when the question now waiting was asked; 0: none
    // A client of its own asks: one client's requests from two threads at
    // once mix on its one socket to the server.
    jack_client_t* asker = nullptr;
    std::mutex askingMutex;
    std::condition_variable askingChanged;
    bool asking = false;  // the asking thread runs
    bool askingEnds = false;

    std::counting_semaphore<> wake{0};      // the sending thread sleeps on it
    std::atomic<bool> graphChanged{false};
    std::atomic<bool> targetGone{false};
    std::atomic<bool> serverGone{false};
    std::atomic<bool> cycleWakes{false};  // each period wakes the sending thread (while a connection settles)
    bool silent = false;  // the server stopped answering: closing is not waited for
};

// Whether later came no more than window after earlier (or before it).
bool Within(JackTime later, JackTime earlier, JackTime window)
{
    return static_cast<std::int64_t>(later - earlier) <= static_cast<std::int64_t>(window);
}

// The messages up to the count-th may not have reached the port.
void Doubt(Link& link, std::uint64_t count)
{
    std::uint64_t seen = link.doubted.load();
    while (seen < count && !link.doubted.compare_exchange_weak(seen, count)) {
    }
}

// A period that ran late, seen by the process callback at time at: the
// message written shortly before is in doubt, and so is one written shortly after.
void RanLate(Link& link, JackTime at)
{
    link.lateAt = at;
    link.wasLate = true;
    link.troubleAt.store(at, std::memory_order_relaxed);
    const std::uint64_t written = link.written.load(std::memory_order_relaxed);
    if (written > 0 && Within(at, link.writtenAt, link.doubtAfter)) {
        Doubt(link, written);
        link.wake.release();
    }
}

int Process(jack_nframes_t frames, void* argument)
{
    auto& link = *static_cast<Link*>(argument);
    // On JACK's clock, not its estimate of when the period began: after a
    // stall that estimate lags for seconds.
    const JackTime began = jack_get_time();
    link.periods.fetch_add(1, std::memory_order_relaxed);
    void* buffer = jack_port_get_buffer(link.port, frames);
    jack_midi_clear_buffer(buffer);
    if (link.cycleWakes.load(std::memory_order_relaxed)) {
        link.wake.release();
    }
    const jack_nframes_t start = jack_last_frame_time(link.client);
    // Periods that did not follow one another: some ran without us.
    if (link.ran && start != link.lastStart + link.lastFrames) {
        RanLate(link, began);
    }
    link.ran = true;
    link.lastStart = start;
    link.lastFrames = frames;
    if (link.state.load(std::memory_order_acquire) == Link::Pending) {
        // The frame where the message falls due: the start of this period, or
        // later in it. The spacing is counted in frames, the server's own
        // time: two clients see the same frames, and a server that stalls
        // stops them.
        const auto waited = static_cast<jack_nframes_t>(start - link.previous);  // wraps as the counter does
        jack_nframes_t offset = 0;
        bool due = true;
        if (waited < link.spacing) {
            offset = link.spacing - waited;
            due = offset < frames;
        }
        int pending = Link::Pending;
        if (due && link.state.compare_exchange_strong(pending, Link::Writing, std::memory_order_acq_rel)) {
            link.tooLong = jack_midi_max_event_size(buffer) < link.size ||
                           jack_midi_event_write(buffer, offset, link.message, link.size) != 0;
            if (!link.tooLong) {
                link.previous = start + offset;
                link.left = began + static_cast<JackTime>(offset) * 1000000 / link.rate;
                link.writtenAt = began;
                const std::uint64_t written = link.written.load(std::memory_order_relaxed) + 1;
                link.written.store(written, std::memory_order_release);
                if (link.wasLate && Within(link.writtenAt, link.lateAt, link.doubtBefore)) {
                    Doubt(link, written);
                }
            }
            link.state.store(Link::Taken, std::memory_order_release);
            link.wake.release();
        }
    }
    // This call itself took longer than a period: what it wrote may be lost.
    if (const JackTime now = jack_get_time(); now - began > static_cast<JackTime>(frames) * 1000000 / link.rate) {
        RanLate(link, now);
    }
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
extern "C" void NotePort(jack_port_id_t port, int registered, void* argument)
{
    auto& link = *static_cast<Link*>(argument);
    if (registered == 0 && link.target != nullptr && jack_port_by_id(link.client, port) == link.target) {
        link.targetGone.store(true);
    }
    NoteGraph(link);
}
extern "C" int NoteXrun(void* argument)
{
    auto& link = *static_cast<Link*>(argument);
    // The driver itself woke late: the period still ran, every client in it,
    // and nothing of ours was lost (periods it skipped show as a gap in the
    // frames, which the process callback sees). Only the driver's xruns say
    // how late it was.
    if (const float late = jack_get_xrun_delayed_usecs(link.client); late != link.driverLate) {
        link.driverLate = late;
        return 0;
    }
    const JackTime now = jack_get_time();
    {
        const std::lock_guard lock(link.troublesMutex);
        link.troubles.emplace_back(now, now);
    }
    link.troubleAt.store(now, std::memory_order_relaxed);
    link.wake.release();
    return 0;
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

// Runs close on a thread of its own and waits for it within limit, or
// leaves it to the process's end: under load libjack's jack_client_close can
// hang for good, after the server has let the client go.
void CloseWithin(std::chrono::milliseconds limit, std::function<void()> close)
{
    struct Closing {
        std::mutex mutex;
        std::condition_variable done;
        bool closed = false;
    };
    auto closing = std::make_shared<Closing>();
    std::thread([close = std::move(close), closing] {
        close();
        const std::lock_guard lock(closing->mutex);
        closing->closed = true;
        closing->done.notify_all();
    }).detach();
    std::unique_lock lock(closing->mutex);
    closing->done.wait_for(lock, limit, [&closing] { return closing->closed; });
}

// Closes the port's clients within kCloseLimit; the link lives until they are closed.
void Close(const std::shared_ptr<Link>& link)
{
    CloseWithin(link->silent ? 0ms : std::chrono::milliseconds(kCloseLimit), [link] {
        {
            std::unique_lock asking(link->askingMutex);
            link->askingEnds = true;
            link->askingChanged.notify_all();
            link->askingChanged.wait(asking, [&link] { return !link->asking; });
        }
        if (link->asker != nullptr) {
            jack_client_close(link->asker);
        }
        if (!link->serverGone.load()) {
            jack_deactivate(link->client);
        }
        jack_client_close(link->client);
    });
}

// Asks the server one question after another until the port closes, and
// keeps when an answer was held up.
void AskAgainAndAgain(const std::shared_ptr<Link>& link)
{
    const std::string name = jack_get_client_name(link->asker);
    std::unique_lock asking(link->askingMutex);
    while (!link->askingEnds) {
        asking.unlock();
        const JackTime asked = jack_get_time();
        link->periodsAtAsk.store(link->periods.load());
        link->askedAt.store(asked);
        char* answer = jack_get_uuid_for_client_name(link->asker, name.c_str());
        const JackTime answered = jack_get_time();
        link->askedAt.store(0);
        if (answer != nullptr) {
            jack_free(answer);
        }
        if (answered - asked > link->doubtAfter &&
            link->periods.load() - link->periodsAtAsk.load() >= link->periodsInDoubt) {
            {
                const std::lock_guard lock(link->troublesMutex);
                link->troubles.emplace_back(asked, answered);
            }
            link->troubleAt.store(answered, std::memory_order_relaxed);
            link->wake.release();
        }
        asking.lock();
        link->askingChanged.wait_for(asking, kAskEvery, [&link] { return link->askingEnds; });
    }
    link->asking = false;
    link->askingChanged.notify_all();
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

// When the question waiting now was asked, if it has waited longer than
// doubtAfter for its answer while periods ran; 0 if none has.
JackTime HeldUpSince(const Link& link, JackTime now)
{
    // In this order: the count of periods is never older than the count it is taken from.
    const JackTime asked = link.askedAt.load();
    const std::uint64_t atAsk = link.periodsAtAsk.load();
    const std::uint64_t periods = link.periods.load();
    return asked != 0 && now - asked > link.doubtAfter && periods - atAsk >= link.periodsInDoubt
               ? asked
               : 0;
}

class JackPort : public MidiPort {
public:
    JackPort(std::shared_ptr<Link> link, std::string target) : m_link(std::move(link)), m_target(std::move(target)) {}
    ~JackPort() override { Close(m_link); }
    JackPort(const JackPort&) = delete;
    JackPort& operator=(const JackPort&) = delete;

    Departure Send(std::span<const std::uint8_t> message, std::chrono::microseconds spacing,
                   const std::stop_token& stop, SendClock::TimePoint& left, SendError& failure) override
    {
        Link& link = *m_link;
        if (InDoubt()) {
            return Departure::Doubted;
        }
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
                    failure = {SendProblem::Failed, m_target,
                               "a message of " + std::to_string(message.size()) +
                                   " bytes does not fit into one JACK period"};
                    return Departure::Failed;
                }
                m_times.push_back(link.left);
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
            SendError why;
            const bool doubted = InDoubt();
            const bool givenUp = stop.stop_requested() || !woken || link.serverGone.load() || doubted ||
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
            if (doubted) {
                return Departure::Doubted;
            }
            if (!woken) {
                link.silent = true;
                failure = {SendProblem::ServerSilent, m_target, {}};
            } else if (why) {
                failure = why;
            } else {
                Holds(failure);  // the server has ended
            }
            return Departure::Failed;
        }
    }

    void Watch(const std::stop_token& stop) override
    {
        // Until the system has run on time for as long as a doubt takes to
        // come, within the time limit a server has to answer.
        Link& link = *m_link;
        const std::stop_callback wakeOnStop(stop, [&link] { link.wake.release(); });
        const auto limit = std::chrono::steady_clock::now() + kAnswerLimit;
        const auto calmFrom = [&link](JackTime now) {
            return (HeldUpSince(link, now) != 0 ? now : link.troubleAt.load()) + link.doubtAfter;
        };
        for (JackTime now = jack_get_time(), calm = calmFrom(now);
             now < calm && !stop.stop_requested() && std::chrono::steady_clock::now() < limit;
             now = jack_get_time(), calm = calmFrom(now)) {
            (void)link.wake.try_acquire_for(std::min<std::chrono::microseconds>(
                std::chrono::microseconds(calm - now), std::chrono::duration_cast<std::chrono::microseconds>(kAskEvery)));
        }
        m_watchFrom = link.written.load();
        m_times.clear();
    }

    bool Whole() override
    {
        // A doubt about the last message comes within doubtAfter of it, if
        // at all; the server's clock is the steady one, as JACK keeps it.
        Link& link = *m_link;
        if (!m_times.empty()) {
            const JackTime until = m_times.back() + link.doubtAfter;
            for (JackTime now = jack_get_time(); now < until && !InDoubt(); now = jack_get_time()) {
                (void)link.wake.try_acquire_for(std::chrono::microseconds(until - now));
            }
        }
        return !InDoubt();
    }

private:
    // Whether a message sent since Watch() may not have reached the port:
    // one the process callback found in a late period, or one the server
    // said ran late near it.
    bool InDoubt()
    {
        Link& link = *m_link;
        if (link.doubted.load() > m_watchFrom) {
            return true;
        }
        const JackTime now = jack_get_time();
        const JackTime heldSince = HeldUpSince(link, now);
        const std::lock_guard lock(link.troublesMutex);
        if (m_times.empty()) {
            // Only those that may still concern the next message are kept.
            std::erase_if(link.troubles, [&](const auto& trouble) { return trouble.second + link.doubtBefore < now; });
            return false;
        }
        // A message sent from doubtAfter before the notices were held up
        // until doubtBefore after they came again, as for a late period.
        const auto near = [&](JackTime from, JackTime to) {
            return std::any_of(m_times.begin(), m_times.end(), [&](JackTime sent) {
                return to + link.doubtBefore >= sent && from <= sent + link.doubtAfter;
            });
        };
        return (heldSince != 0 && near(heldSince, now)) ||
               std::any_of(link.troubles.begin(), link.troubles.end(),
                           [&](const auto& trouble) { return near(trouble.first, trouble.second); });
    }

    // True while the target is there, connected to us; else false with the reason.
    bool Holds(SendError& failure) const
    {
        Link& link = *m_link;
        const auto gone = [&] {
            return link.targetGone.load() || jack_port_by_name(link.client, m_target.c_str()) == nullptr;
        };
        const auto connected = [&] { return jack_port_connected_to(link.port, m_target.c_str()) != 0; };
        // A receiver that leaves loses its connection a moment before its
        // port: it is said to be gone, and only a port that stays is cut off.
        const auto limit = std::chrono::steady_clock::now() + kLeaveLimit;
        while (!link.serverGone.load() && !gone() && !connected() && link.wake.try_acquire_until(limit)) {
        }
        if (link.serverGone.load()) {
            failure = {SendProblem::ServerEnded, m_target, {}};
            return false;
        }
        if (gone()) {
            failure = {SendProblem::Gone, m_target, {}};
            return false;
        }
        if (!connected()) {
            failure = {SendProblem::Cut, m_target, {}};
            return false;
        }
        return true;
    }

    std::shared_ptr<Link> m_link;
    std::string m_target;
    std::uint64_t m_watchFrom = 0;
    std::vector<JackTime> m_times;  // when each message since Watch() left
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
    CloseWithin(kCloseLimit, [client] { jack_client_close(client); });
    if (names.empty()) {
        reason = "JACK: no MIDI input ports";
    }
    return names;
}

std::unique_ptr<MidiPort> OpenJackPort(const std::string& target, SendError& failure)
{
    auto link = std::make_shared<Link>();
    link->client = OpenClient("t2tk");
    if (link->client == nullptr) {
        failure = {SendProblem::Gone, target, "no JACK server is running"};
        return nullptr;
    }
    link->rate = jack_get_sample_rate(link->client);
    const JackTime period = static_cast<JackTime>(jack_get_buffer_size(link->client)) * 1000000 / link->rate;
    link->doubtBefore = std::max<JackTime>(4 * period, 40000);
    link->doubtAfter = std::max<JackTime>(8 * period, 150000);
    link->periodsInDoubt = std::max<JackTime>(2, link->doubtAfter / std::max<JackTime>(period, 1));
    link->port = jack_port_register(link->client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    link->target = jack_port_by_name(link->client, target.c_str());
    Link* raw = link.get();
    jack_on_shutdown(link->client, NoteServerGone, raw);
    if (link->port == nullptr || jack_set_process_callback(link->client, ProcessCallback, raw) != 0 ||
        jack_set_port_connect_callback(link->client, NoteConnection, raw) != 0 ||
        jack_set_port_registration_callback(link->client, NotePort, raw) != 0 ||
        jack_set_xrun_callback(link->client, NoteXrun, raw) != 0 || jack_activate(link->client) != 0) {
        failure = {SendProblem::CannotOpen, target, "JACK would not take a client of t2tk"};
        Close(link);
        return nullptr;
    }
    link->asker = OpenClient("t2tk-ask");
    if (link->asker != nullptr) {
        link->asking = true;
        std::thread(AskAgainAndAgain, link).detach();
    }
    // Connected once our client sees it so, which the server shows at a
    // period's start: the first check must not find it cut.
    const auto limit = std::chrono::steady_clock::now() + kAnswerLimit;
    link->cycleWakes.store(true);
    bool connected = link->target != nullptr &&
                     jack_connect(link->client, jack_port_name(link->port), target.c_str()) == 0;
    while (connected && jack_port_connected_to(link->port, target.c_str()) == 0) {
        connected = link->wake.try_acquire_until(limit);
    }
    link->cycleWakes.store(false);
    if (!connected) {
        failure = jack_port_by_name(link->client, target.c_str()) == nullptr
                      ? SendError{SendProblem::Gone, target, {}}
                      : SendError{SendProblem::CannotOpen, target, "JACK would not connect to it"};
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
