#include "convert/message_schedule.h"

#include <algorithm>
#include <cstring>

#include "convert/message_layout.h"

namespace t2tk {

bool NextMessage(const std::uint8_t* messages, std::size_t count, std::size_t& position, ScheduledMessage& message)
{
    if (position >= count || messages[position] != 0xF0) {
        return false;
    }
    const std::uint8_t* start = messages + position;
    const std::size_t rest = count - position;
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(start + 1, kMessageEnd, rest - 1));
    message.bytes = start;
    message.length = end != nullptr ? static_cast<std::size_t>(end - start) + 1 : rest;
    message.ticks = kTypeOffset < rest && start[kTypeOffset] == kProgramDumpType ? kProgramDumpTicks : kMessageTicks;
    position += message.length;
    return true;
}

SendSchedule::SendSchedule(std::span<const std::uint8_t> messages)
{
    int program = 0;
    std::string name;
    ScheduledMessage message{};
    for (std::size_t position = 0; NextMessage(messages.data(), messages.size(), position, message);) {
        if (IsProgramDump(message.bytes, message.length)) {
            ++m_presets;
            program = message.bytes[kIndexOffset] + 1;
            // Record bytes 1 to 16 hold the name, up to its first zero.
            name.clear();
            for (std::size_t i = kRecordOffset + 1; i < kRecordOffset + 17 && i < message.length && message.bytes[i] != 0;
                 ++i) {
                name += static_cast<char>(message.bytes[i]);
            }
        }
        m_steps.push_back({message, TicksToTime(message.ticks), m_presets, program, name,
                           IsStoreRequest(message.bytes, message.length)});
    }
    // What comes before the first program dump (the init request) belongs to the first preset.
    const auto first = std::find_if(m_steps.begin(), m_steps.end(), [](const SendStep& step) { return step.preset != 0; });
    for (auto step = m_steps.begin(); first != m_steps.end() && step != first; ++step) {
        step->preset = 1;
        step->program = first->program;
        step->name = first->name;
    }
    m_left.resize(m_steps.size());
    std::chrono::microseconds left = kFinalWait;
    for (std::size_t i = m_steps.size(); i-- > 0;) {
        m_left[i] = left;
        left += m_steps[i].spacing;
    }
}

std::chrono::microseconds SendSchedule::LeftAfter(std::size_t index) const
{
    return index < m_left.size() ? m_left[index] : kFinalWait;
}

}  // namespace t2tk
