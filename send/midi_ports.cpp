#include <utility>

#include "send/midi_port.h"
#include "send/midi_system.h"
#include "send/port_choice.h"
#include "send/port_lock.h"
#ifndef _WIN32
#include "files/ending_signals.h"
#endif

namespace t2tk::send {

namespace {

// Threads the MIDI libraries start inherit the ending signals blocked, and
// leave them to the thread that handles them. Only around the libraries'
// calls: a wait for the port's turn must end at a signal. (Windows has no
// such signals: there it holds nothing.)
class [[maybe_unused]] LibraryThreads {
#ifndef _WIN32
    EndingSignalsBlocked m_blocked;
#endif
};

// A port that holds its lock for as long as it lives.
class LockedPort : public MidiPort {
public:
    LockedPort(std::unique_ptr<MidiSystem> system, std::unique_ptr<MidiPort> port, std::unique_ptr<PortLock> lock)
        : m_lock(std::move(lock)), m_system(std::move(system)), m_port(std::move(port))
    {
    }
    Departure Send(std::span<const std::uint8_t> message, std::chrono::microseconds spacing,
                   const std::stop_token& stop, SendClock::TimePoint& left, SendError& failure) override
    {
        return m_port->Send(message, spacing, stop, left, failure);
    }
    void Watch(const std::stop_token& stop) override { m_port->Watch(stop); }
    bool Whole() override { return m_port->Whole(); }

private:
    // Members go in the reverse of this order: the port is closed first, then
    // its system, and the lock is let go last, so that a sender waiting for
    // its turn never starts while this one's client still closes.
    std::unique_ptr<PortLock> m_lock;
    std::unique_ptr<MidiSystem> m_system;
    std::unique_ptr<MidiPort> m_port;
};

}  // namespace

PortList ListOutputPorts()
{
    const LibraryThreads threads;
    std::string failure;
    const std::unique_ptr<MidiSystem> system = LoadMidiSystem(failure);
    return system != nullptr ? system->Ports().list : PortList{{}, failure};
}

std::unique_ptr<MidiPort> OpenOutputPort(const std::string& wanted, PortProblem& problem, PortTurn turn,
                                         const std::stop_token& stop,
                                         const std::function<void(const std::string&)>& waiting)
{
    std::unique_ptr<MidiSystem> system;
    SystemPorts ports;
    {
        const LibraryThreads threads;
        std::string failure;
        system = LoadMidiSystem(failure);
        if (system == nullptr) {
            problem.error = {SendProblem::Unavailable, {}, NoPortsMessage(failure)};
            return nullptr;
        }
        ports = system->Ports();
    }
    const PortChoice choice = ChoosePort(ports.list.names, wanted, ports.list.reason);
    if (!choice.index) {
        problem.error = {SendProblem::Unavailable, {}, choice.failure};
        problem.ports = choice.listPorts ? ports.list.names : std::vector<std::string>();
        return nullptr;
    }
    const std::string name = ports.list.names[*choice.index];
    // Taken at once if it is free; a wait for it is said first.
    LockResult locked = LockPort(ports.keys[*choice.index], false, stop);
    if (locked.busy && turn == PortTurn::Wait) {
        if (waiting) {
            waiting(name);
        }
        locked = LockPort(ports.keys[*choice.index], true, stop);
    }
    if (locked.lock == nullptr) {
        problem.error = locked.busy ? SendError{SendProblem::Busy, name, {}}
                                    : SendError{SendProblem::Unavailable, {}, locked.failure};
        problem.stopped = locked.stopped;
        return nullptr;
    }
    if (stop.stop_requested()) {
        problem.stopped = true;
        return nullptr;
    }
    const LibraryThreads threads;
    std::unique_ptr<MidiPort> port = system->Open(name, problem.error);
    if (port == nullptr) {
        return nullptr;
    }
    return std::make_unique<LockedPort>(std::move(system), std::move(port), std::move(locked.lock));
}

}  // namespace t2tk::send
