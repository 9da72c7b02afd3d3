#pragma once
// A MIDI input on a port of its own that records every message it receives and
// when: the far end of a send, in the tests and the benchmark.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class RtMidiIn;

namespace t2tk::test {

struct Received {
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point arrival;
};

class MidiReceiver {
public:
    // A JACK client of that name with an input port, which senders see as "name:in".
    explicit MidiReceiver(const std::string& name);
    ~MidiReceiver();
    MidiReceiver(const MidiReceiver&) = delete;
    MidiReceiver& operator=(const MidiReceiver&) = delete;

    std::vector<Received> Messages() const;
    // Waits until count messages have come, at most timeout; false when they did not.
    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    static void Record(double stamp, std::vector<unsigned char>* message, void* receiver);

    std::unique_ptr<RtMidiIn> m_in;
    mutable std::mutex m_mutex;
    std::vector<Received> m_messages;
};

// The messages back to back, as a .syx file holds them.
std::vector<std::uint8_t> Joined(const std::vector<Received>& messages);

// How far the messages came from the module's schedule (a second before a
// program dump, a quarter second before the rest), in milliseconds: the
// earliest (negative) and the latest. Each is measured against its own place
// in the schedule, and the schedule is set where most messages came, so that
// one late message, the first too, does not make the others look early.
std::pair<double, double> ScheduleErrors(const std::vector<Received>& messages);

}  // namespace t2tk::test
