#include "send/midi_port.h"

namespace t2tk::send {

Departure PacedPort::Send(std::span<const std::uint8_t> message, std::chrono::microseconds spacing,
                          const std::stop_token& stop, SendClock::TimePoint& left, SendError& failure)
{
    if (!m_clock.WaitUntil(m_previous + spacing, stop)) {
        return Departure::Stopped;
    }
    if (InDoubt()) {
        return Departure::Doubted;
    }
    if (!Deliver(message, failure)) {
        return Departure::Failed;
    }
    // The next one is due a spacing after this one has gone, however long
    // handing it over took.
    left = m_previous = m_clock.Now();
    return Departure::Left;
}

}  // namespace t2tk::send
