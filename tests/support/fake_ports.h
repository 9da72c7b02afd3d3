#pragma once
// Stand-ins for time and MIDI ports, so that a send's schedule, stalls, stops
// and failures are checked in milliseconds: a clock whose waits take no time,
// and ports that record what they are sent and when.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "app/dialog_send.h"
#include "send/midi_port.h"
#include "send/sender.h"

namespace t2tk::test {

using namespace std::chrono_literals;

// Time that passes only when a send waits (at once) or a test says so. A test
// can also hold a send in a wait, as a send is most of its time, until it stops.
class FakeClock : public send::SendClock {
public:
    TimePoint Now() override
    {
        const std::lock_guard lock(m_mutex);
        return m_now;
    }
    bool WaitUntil(TimePoint deadline, const std::stop_token& stop) override
    {
        std::unique_lock lock(m_mutex);
        if (m_waits++ >= m_holdFrom) {
            m_changed.notify_all();
            m_changed.wait(lock, stop, [] { return false; });
        }
        if (stop.stop_requested()) {
            return false;
        }
        m_now = std::max(m_now, deadline) + m_late;  // a busy machine wakes late
        return true;
    }
    // Moves time on, as a stopped process or a suspended machine sees it.
    void Pass(std::chrono::microseconds time)
    {
        const std::lock_guard lock(m_mutex);
        m_now += time;
    }
    void WakeLateBy(std::chrono::microseconds late)
    {
        const std::lock_guard lock(m_mutex);
        m_late = late;
    }
    // From the count-th wait on (counted from now), a send waits until it is stopped.
    void HoldFrom(int count)
    {
        const std::lock_guard lock(m_mutex);
        m_holdFrom = m_waits + count;
    }
    // Waits until a send is held.
    void WaitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waits > m_holdFrom; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    TimePoint m_now = TimePoint{} + std::chrono::hours(1);
    std::chrono::microseconds m_late{0};
    int m_waits = 0;
    int m_holdFrom = 1 << 30;
};

// What a fake port was sent: each message, and when it left by the clock.
struct Sent {
    std::vector<std::uint8_t> bytes;
    send::SendClock::TimePoint at;
};

// Ports that record into a shared list; a test can make one fail.
class FakePorts : public app::MidiPorts {
public:
    explicit FakePorts(FakeClock& clock, std::vector<std::string> names = {"Thump A", "Thump B"})
        : names(std::move(names)), m_clock(clock)
    {
    }

    std::vector<std::string> names;  // the ports there are now
    int failAt = -1;                 // the message (0-based) whose send fails
    int goneAt = -1;                 // the message whose send fails at once: the port goes while it waits its turn
    std::map<int, std::chrono::microseconds> stalls;  // time a message (0-based) takes to leave once handed over
    std::stop_source* stopAfter = nullptr;            // asked to stop once message stopAt is out
    int stopAt = -1;
    std::set<int> doubtAt;  // messages (0-based) found in doubt once out, as a MIDI system that ran late finds them
    std::string opened;                               // the last port opened

    send::PortList List() override { return {names, names.empty() ? "none here" : ""}; }
    std::unique_ptr<send::MidiPort> Open(const std::string& name, send::PortProblem& problem) override
    {
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            problem.error = {send::SendProblem::Unavailable, {}, "\"" + name + "\" matches no MIDI output port"};
            problem.ports = names;
            return nullptr;
        }
        opened = name;
        return std::make_unique<Port>(*this);
    }
    std::vector<Sent> Messages()
    {
        const std::lock_guard lock(m_mutex);
        return m_sent;
    }
private:
    class Port : public send::PacedPort {
    public:
        explicit Port(FakePorts& ports) : PacedPort(ports.m_clock), m_ports(ports) {}
        send::Departure Send(std::span<const std::uint8_t> message, std::chrono::microseconds spacing,
                             const std::stop_token& stop, send::SendClock::TimePoint& left,
                             send::SendError& failure) override
        {
            if (const std::lock_guard lock(m_ports.m_mutex);
                static_cast<int>(m_ports.m_sent.size()) == m_ports.goneAt) {
                failure = {send::SendProblem::Gone, m_ports.opened, {}};
                return send::Departure::Failed;
            }
            return PacedPort::Send(message, spacing, stop, left, failure);
        }
        void Watch(const std::stop_token& /*stop*/) override
        {
            const std::lock_guard lock(m_ports.m_mutex);
            m_watchFrom = static_cast<int>(m_ports.m_sent.size());
        }
        bool InDoubt() override
        {
            const std::lock_guard lock(m_ports.m_mutex);
            const auto doubt = m_ports.doubtAt.lower_bound(m_watchFrom);
            return doubt != m_ports.doubtAt.end() && *doubt < static_cast<int>(m_ports.m_sent.size());
        }
        bool Deliver(std::span<const std::uint8_t> message, send::SendError& failure) override
        {
            const std::lock_guard lock(m_ports.m_mutex);
            const int index = static_cast<int>(m_ports.m_sent.size());
            if (index == m_ports.failAt) {
                failure = {send::SendProblem::Gone, m_ports.opened, {}};
                return false;
            }
            if (const auto stall = m_ports.stalls.find(index); stall != m_ports.stalls.end()) {
                m_ports.m_clock.Pass(stall->second);
            }
            m_ports.m_sent.push_back({{message.begin(), message.end()}, m_ports.m_clock.Now()});
            if (index == m_ports.stopAt && m_ports.stopAfter != nullptr) {
                m_ports.stopAfter->request_stop();
            }
            return true;
        }

    private:
        FakePorts& m_ports;
        int m_watchFrom = 0;
    };

    FakeClock& m_clock;
    std::mutex m_mutex;
    std::vector<Sent> m_sent;
};

}  // namespace t2tk::test
