#pragma once
// The far end of a send, in the tests and the benchmark: a receiving JACK
// client (t2tk-test-receiver, a process of its own) that records every message
// and when it came, and JACK servers of a test's own.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace t2tk::test {

struct Received {
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point arrival;  // its frame, on the server's clock
};

class MidiReceiver {
public:
    // A JACK client of that name with an input port, which senders see as
    // "name:in", on the server called server (empty: JACK_DEFAULT_SERVER's);
    // there once made, unless ready() says otherwise. late: when it runs
    // late, as t2tk-test-receiver takes it (empty: never).
    explicit MidiReceiver(const std::string& name, const std::string& server = {}, const std::string& late = {});
    // Closes the client and waits for it: a server that no longer answers
    // must be ended first.
    ~MidiReceiver();
    MidiReceiver(const MidiReceiver&) = delete;
    MidiReceiver& operator=(const MidiReceiver&) = delete;

    bool ready() const { return m_period.count() > 0; }
    std::vector<Received> Messages() const;
    // Waits until count messages have come; false when they have not within
    // timeout, which only keeps a broken test from hanging.
    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;
    // The server's period.
    std::chrono::microseconds Period() const { return m_period; }
    void Signal(int signal) const;

private:
    void Read();

    pid_t m_pid = -1;
    int m_input = -1;   // its standard input: it ends when this is closed
    int m_output = -1;  // its lines
    std::chrono::microseconds m_period{0};
    std::thread m_reader;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_came;
    std::vector<Received> m_messages;
    bool m_ended = false;
};

// A JACK server of a test's own, with the dummy driver; ended with the object.
// It is named after the build's shared one and what it is for: JACK keeps at
// most eight servers in its registry and frees the place of one that did not
// end by itself only when a server of the same name starts, so names that
// change with every run would fill it up.
class JackServer {
public:
    // synchronous: the server waits for every client each period (as the
    // tests' shared one does); else it goes on without a client that is
    // late, as JACK's default has it.
    explicit JackServer(const std::string& what, int period = 128, bool synchronous = true);
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    const std::string& name() const { return m_name; }
    // Whether it has started: waits until it answers, or will not.
    bool running();
    void Signal(int signal) const;

private:
    std::string m_name;
    pid_t m_pid = -1;
    bool m_running = false;
};

// Why the tests cannot send over JACK on this machine, or nothing when they
// can: without real-time scheduling a server (the dummy driver's too) takes
// its own late wake-ups for lost periods, and every send would go again; and
// JACK counts at most eight servers a machine in /dev/shm, so servers of
// others may leave none for the tests' own (scripts/test.sh gives the suite a
// /dev/shm of its own where the machine allows it).
std::string WhyNoJack(JackServer* server = nullptr);

// The gap before each message that came, from the one before it, less the
// spacing the module needs there (a second before a program dump, a quarter
// second before the rest), in milliseconds: negative where it came early.
std::vector<double> GapErrors(const std::vector<Received>& messages);

}  // namespace t2tk::test
