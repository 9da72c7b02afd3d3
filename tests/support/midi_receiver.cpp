#include "tests/support/midi_receiver.h"

#include <RtMidi.h>

#include <algorithm>
#include <thread>

namespace t2tk::test {

MidiReceiver::MidiReceiver(const std::string& name) : m_in(std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, name))
{
    m_in->ignoreTypes(false, true, true);  // SysEx is what we are here for
    m_in->setCallback(Record, this);
    m_in->openVirtualPort("in");
}

MidiReceiver::~MidiReceiver() = default;

void MidiReceiver::Record(double /*stamp*/, std::vector<unsigned char>* message, void* receiver)
{
    auto* self = static_cast<MidiReceiver*>(receiver);
    const std::lock_guard lock(self->m_mutex);
    self->m_messages.push_back({*message, std::chrono::steady_clock::now()});
}

std::vector<Received> MidiReceiver::Messages() const
{
    const std::lock_guard lock(m_mutex);
    return m_messages;
}

bool MidiReceiver::WaitFor(std::size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Messages().size() < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<std::uint8_t> Joined(const std::vector<Received>& messages)
{
    std::vector<std::uint8_t> all;
    for (const Received& message : messages) {
        all.insert(all.end(), message.bytes.begin(), message.bytes.end());
    }
    return all;
}

std::pair<double, double> ScheduleErrors(const std::vector<Received>& messages)
{
    if (messages.empty()) {
        return {0.0, 0.0};
    }
    std::vector<double> offsets;  // each arrival against its due time, in ms from the first arrival
    double due = 0.0;
    for (const Received& message : messages) {
        if (!offsets.empty()) {
            due += message.bytes.size() > 4 && message.bytes[4] == 0x11 ? 1000.0 : 250.0;
        }
        offsets.push_back(std::chrono::duration<double, std::milli>(message.arrival - messages[0].arrival).count() -
                          due);
    }
    std::vector<double> sorted = offsets;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    const double usual = sorted[sorted.size() / 2];
    const auto [earliest, latest] = std::minmax_element(offsets.begin(), offsets.end());
    return {*earliest - usual, *latest - usual};
}

}  // namespace t2tk::test
